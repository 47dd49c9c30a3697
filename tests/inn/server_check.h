// Whether a news server holds exactly the generated test articles: every
// group with the generated count, numbered from 1 in generation order, with
// the generated Message-IDs and subjects. Used by korvex-feed --check (and so
// by scripts/inn-start.sh) before and after loading.
#pragma once

#include <ostream>
#include <string>

namespace korvex_test {

enum class ServerState {
    Loaded,      // every group holds exactly the generated articles
    Incomplete,  // a group is missing articles at its end (a load can finish it)
    Other,       // a group holds articles the generator does not make, or out of order
    Unreachable, // no usable reader connection
};

enum class CheckDepth {
    Thorough, // every article's Message-ID and subject
    Quick,    // the counts, and the Message-IDs of each group's first and last article
};

// Asks as a reader (MODE READER, GROUP, XHDR) and writes one line per group.
ServerState CheckServer(const std::string& server, std::ostream& out,
                        CheckDepth depth = CheckDepth::Thorough);

} // namespace korvex_test
