// The articles of the test news server, generated deterministically, so that
// the loader (korvex-feed) and the tests that search the server agree on
// exactly which articles exist, with which headers and bodies.
//
// Pure functions of their arguments, callable from any thread; nothing is
// cached or shared. Article number n of a group (from 1) is the article the
// server numbers n: the loader sends every group in this order into an empty
// group. Changing what the generator makes requires a new kGeneratorVersion,
// so that a server loaded by an older generator is recognised and reloaded.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace korvex_test {

constexpr int kGeneratorVersion = 1;

constexpr const char* kSmallGroup = "korvex.test.small";
constexpr const char* kMixedGroup = "korvex.test.mixed";
constexpr const char* kBigGroup = "korvex.test.big";
constexpr const char* kModernGroup = "korvex.test.modern";

struct GeneratedGroupInfo {
    std::string name;
    int index; // the g-number in the Message-IDs
    long count;
};

// The groups the server holds, in loading order.
const std::vector<GeneratedGroupInfo>& GeneratedGroups();

struct GeneratedArticle {
    std::string group;
    long number = 0; // 1..count; the server's article number
    // Header lines in order, each (name, value); a value may be empty.
    std::vector<std::pair<std::string, std::string>> headers;
    // Every line followed by "\n" (no CR anywhere); empty when there is no body.
    std::string body;
    // Headers sent folded: (name, value as sent, "\n " where a line breaks).
    // `headers` holds their unfolded value, as a reader asking the server sees it.
    std::vector<std::pair<std::string, std::string>> folded;
    // What a reader reads where it differs from the bytes sent: header values
    // with their MIME encoded words decoded, and the body of a MIME article
    // decoded (its transfer encoding undone, its charset UTF-8, each part that
    // is not text one naming line).
    std::vector<std::pair<std::string, std::string>> decoded;
    bool mime = false;
    std::string decodedBody;

    // The value of the first header of that name (exact spelling), or null.
    const std::string* Header(const std::string& name) const;
    // The value as a reader reads it: decoded when it differs, else as sent.
    const std::string* ReadableHeader(const std::string& name) const;
    // The body as a reader reads it.
    const std::string& ReadableBody() const { return mime ? decodedBody : body; }
    const std::string& MessageId() const;
    int BodyLines() const;
};

// All articles of a group, number 1 first; empty for a name not in GeneratedGroups().
std::vector<GeneratedArticle> GenerateGroup(const std::string& name);

// The Message-ID of article n of the group with that index.
std::string GeneratedMessageId(int groupIndex, long number);

// The article as sent after "TAKETHIS <id>": header lines (folded ones as
// folded), a blank line and
// the body, every line ended by CR LF, lines starting with "." doubled, then
// the terminating ".\r\n".
std::string WireArticle(const GeneratedArticle& article);

} // namespace korvex_test
