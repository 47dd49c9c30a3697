// The test news servers beside INN. public-inbox's NNTP server, started by
// scripts/public-inbox-start.sh on KORVEX_PI_SERVER (default 127.0.0.1:10119)
// with the articles of one generated group under the same name and
// Message-IDs as on INN, numbered alike from 1.
#pragma once

#include <set>
#include <string>

namespace korvex_test {

// The group public-inbox-start.sh serves by default.
extern const char* const kPublicInboxGroup;

// KORVEX_PI_SERVER, or 127.0.0.1:10119.
std::string PublicInboxServer();

// Whether the server serves the group with the generated articles: GROUP
// names 1 to the generated count, and the first and the last article carry
// their generated Message-IDs. When not, `why` says what was found. Asks with
// a client of its own, not the engine's.
bool ServesGeneratedGroup(const std::string& server, const std::string& group, std::string& why);

// The third: leafnode behind socat (scripts/leafnode-start.sh) on
// KORVEX_LEAF_SERVER (default 127.0.0.1:10120), filled from INN by fetchnews.
// It numbers the articles its own way and keeps not all of them.
std::string LeafnodeServer();

// The Message-IDs the server lists for the group (XHDR Message-ID over its
// whole range). False, with `why`, when it cannot be asked.
bool ListedMessageIds(const std::string& server, const std::string& group,
                      std::set<std::string>& ids, std::string& why);

} // namespace korvex_test
