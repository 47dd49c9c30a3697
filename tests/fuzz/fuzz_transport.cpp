// The line transport under fuzzed server bytes: one status line, then up to six
// multi-line responses on the same connection, each in header-list or article
// mode (bits of the first input byte). The bytes arrive in one-byte pieces, in
// 2048-byte pieces and in fuzzed piece sizes (second byte); all three must give
// the same results. Every response must stay inside its buffer, NUL-terminated;
// a header list holds whole lines of at most 511 bytes and ends with ".\r\n".
// Small inputs are also checked against the straightforward reading of the
// protocol below, written without looking at how the transport collects lines.
// Every response collected also goes through the header scan's parsers: as a
// capability list, LIST HEADERS and LIST OVERVIEW.FMT, each header-list line
// as an HDR and an OVER line, each article as a HEAD reply; OVER fields and
// HEAD values must equal what a plain split of the text gives.
#include "fuzz_check.h"

#include "capabilities.h"
#include "commands.h"
#include "header_replies.h"
#include "net.h"
#include "transport.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kResponses = 6;
constexpr int kHeaderCode = 221;
constexpr int kArticleCode = 220;

class PiecePeer : public kvBytePeer {
  public:
    PiecePeer(const std::uint8_t* bytes, std::size_t size, int plan, unsigned seed)
        : bytes(bytes), size(size), plan(plan), state(seed * 2654435761u + 1) {}
    long Receive(char* buffer, std::size_t room) override {
        if (at == size) return 0; // the server closed the connection
        std::size_t piece = plan == 0 ? 1 : plan == 1 ? 2048 : NextSize();
        if (piece > room) piece = room;
        if (piece > size - at) piece = size - at;
        std::memcpy(buffer, bytes + at, piece);
        at += piece;
        return static_cast<long>(piece);
    }

  private:
    std::size_t NextSize() {
        state = state * 1103515245u + 12345u;
        unsigned r = (state >> 16) & 0x7fff;
        return r % 4 == 0 ? 1 + r % 2100 : 1 + r % 40;
    }
    const std::uint8_t* bytes;
    std::size_t size;
    std::size_t at = 0;
    int plan;
    unsigned state;
};

struct Outcome {
    long statusResult = 0;
    std::string status;
    std::vector<long> results;
    std::vector<std::string> texts; // only for results of 1
};

bool ArticleMode(unsigned modes, int k) {
    return ((modes >> k) & 1) != 0;
}

void CheckResponse(const kvBuffer& dest, bool article, long result) {
    FUZZ_CHECK(dest.length < dest.capacity);
    FUZZ_CHECK(dest.data[dest.length] == '\0');
    if (result != 1) return;
    const char* text = dest.data.get();
    const char* firstLF = static_cast<const char*>(std::memchr(text, '\n', dest.length));
    FUZZ_CHECK(firstLF != nullptr); // at least the status line is there
    std::size_t statusLength = static_cast<std::size_t>(firstLF - text) + 1;
    bool refused = ReplyCode(text) != (article ? kArticleCode : kHeaderCode);
    if (refused) {
        FUZZ_CHECK(statusLength == dest.length); // the status line alone
        return;
    }
    if (article) {
        FUZZ_CHECK(dest.length <= KV_ARTICLE_BUFFER_SIZE - 1);
        return;
    }
    FUZZ_CHECK(dest.length >= statusLength + 3);
    FUZZ_CHECK(std::memcmp(text + dest.length - 3, ".\r\n", 3) == 0);
    // Whole lines of at most 511 bytes after the status line.
    std::size_t start = statusLength;
    while (start < dest.length) {
        const char* lf =
            static_cast<const char*>(std::memchr(text + start, '\n', dest.length - start));
        FUZZ_CHECK(lf != nullptr);
        std::size_t line = static_cast<std::size_t>(lf - text) - start;
        FUZZ_CHECK(line <= KV_HEADER_LINE_MAX);
        start += line + 1;
    }
}

// The tab-separated field `column` (from 1 after the number) of a line, or
// "" when it has none; a full field without its "Name:" and the blanks after it.
std::string OverviewField(const std::string& line, int column, bool full) {
    std::size_t at = 0;
    for (int c = 0; c < column; ++c) {
        at = line.find('\t', at);
        if (at == std::string::npos) return "";
        ++at;
    }
    std::string field = line.substr(at, line.find('\t', at) - at);
    if (!full) return field;
    std::size_t colon = field.find(':');
    if (colon == std::string::npos) return "";
    std::size_t start = field.find_first_not_of(" \t", colon + 1);
    return start == std::string::npos ? "" : field.substr(start);
}

// The first header line named `name` (any case) before a blank line, after
// the status line, its value unfolded, cut to `room` bytes; "-" when none.
std::string HeadValue(const std::string& text, const std::string& name, std::size_t room) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at <= text.size();) {
        std::size_t lf = text.find('\n', at);
        lines.push_back(text.substr(at, lf == std::string::npos ? lf : lf - at + 1));
        if (lf == std::string::npos) break;
        at = lf + 1;
    }
    auto lower = [](std::string t) {
        for (char& c : t)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return t;
    };
    auto content = [](const std::string& line) {
        if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0)
            return line.substr(0, line.size() - 2);
        if (!line.empty() && line.back() == '\n') return line.substr(0, line.size() - 1);
        return line;
    };
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty() || line[0] == '\r' || line[0] == '\n') break;
        if (lower(line.substr(0, name.size() + 1)) != lower(name + ":")) continue;
        std::string first = line.substr(name.size() + 1);
        std::string value =
            content(first.substr(std::min(first.find_first_not_of(" \t"), first.size())));
        for (std::size_t j = i + 1;
             j < lines.size() && !lines[j].empty() && (lines[j][0] == ' ' || lines[j][0] == '\t') &&
             lines[j - 1].back() == '\n';
             ++j)
            value += content(lines[j]);
        return value.substr(0, room);
    }
    return "-";
}

void CheckParsers(const kvBuffer& dest, bool article) {
    std::string text(dest.data.get(), dest.length);
    text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
    int code = ReplyCode(dest.data.get());
    FUZZ_CHECK(ParseCapabilities(dest.data.get(), dest.length).known == (code == 101));
    FUZZ_CHECK((ReadListHeaders(dest.data.get(), dest.length, "Keywords") ==
                kvListedHeader::Unknown) == (code != 215));
    if (article) {
        for (const char* name : {"Subject", "Keywords", "X"}) {
            char value[64];
            std::memset(value, 'z', sizeof value);
            bool found = FindHeadValue(text.c_str(), name, value, sizeof value);
            FUZZ_CHECK((found ? std::string(value) : "-") == HeadValue(text, name, 63));
        }
        return;
    }
    int lines = -1; // the status line is not counted
    for (std::size_t at = 0; at < text.size();) {
        std::size_t lf = text.find('\n', at);
        std::string line = text.substr(at, lf == std::string::npos ? lf : lf - at);
        at = lf == std::string::npos ? text.size() : lf + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (++lines == 0 || line == ".") continue;
        std::vector<char> copy(line.begin(), line.end());
        copy.push_back('\0');
        char* value = nullptr;
        long number = ParseNumberedLine(copy.data(), value);
        FUZZ_CHECK(number >= 0);
        FUZZ_CHECK(value == nullptr ? line.find(' ') == std::string::npos
                                    : value == copy.data() + line.find(' ') + 1);
        for (int column = 1; column <= 9; ++column)
            for (bool full : {false, true}) {
                std::vector<char> over(line.begin(), line.end());
                over.push_back('\0');
                FUZZ_CHECK(ParseOverviewLine(over.data(), kvOverviewField{column, full}, value) ==
                           number);
                std::string expected = OverviewField(line, column, full);
                FUZZ_CHECK(value == nullptr ? expected.empty() : std::string(value) == expected);
            }
    }
    kvOverviewField field = FindOverviewField(dest.data.get(), dest.length, "Xref");
    FUZZ_CHECK(field.column >= 0 && field.column <= lines);
}

Outcome Run(const std::uint8_t* bytes, std::size_t size, unsigned modes, int plan, unsigned seed,
            kvBuffer& headers, kvBuffer& article) {
    PiecePeer peer(bytes, size, plan, seed);
    kvConnection conn;
    conn.peer = &peer;
    Outcome out;
    char reply[512];
    std::memset(reply, 'x', sizeof reply);
    out.statusResult = ReceiveStatusLine(conn, reply, sizeof reply);
    if (out.statusResult <= 0) return out;
    std::size_t replyLength = strnlen(reply, sizeof reply);
    FUZZ_CHECK(replyLength < sizeof reply); // terminated inside the buffer
    out.status.assign(reply, replyLength);
    for (int k = 0; k < kResponses; ++k) {
        bool isArticle = ArticleMode(modes, k);
        kvBuffer& dest = isArticle ? article : headers;
        long r = ReceiveMultiline(conn, dest, isArticle ? kArticleCode : kHeaderCode,
                                  isArticle ? kvResponseMode::Article : kvResponseMode::HeaderList);
        FUZZ_CHECK(conn.inputLength <= KV_RECEIVE_BUFFER_SIZE);
        CheckResponse(dest, isArticle, r);
        out.results.push_back(r);
        if (r != 1) break;
        if (plan == 1) CheckParsers(dest, isArticle);
        out.texts.emplace_back(dest.data.get(), dest.length);
    }
    return out;
}

// The reference: lines split at LF; a response is a status line, then (when its
// code is the one asked for) data lines up to a line ".\r\n" that follows a line
// ended by CR LF. Header lists keep every line and the terminator; articles drop
// one leading dot of each data line and the terminator.
long ReplyCodeOf(const std::string& line) {
    // The code: exactly three digits at the start of the line.
    auto digit = [&](std::size_t i) { return i < line.size() && line[i] >= '0' && line[i] <= '9'; };
    if (!digit(0) || !digit(1) || !digit(2) || digit(3)) return -1;
    return std::stol(line.substr(0, 3));
}

Outcome Reference(const std::uint8_t* bytes, std::size_t size, unsigned modes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < size; ++i)
        if (bytes[i] == '\n') {
            lines.emplace_back(reinterpret_cast<const char*>(bytes) + start, i + 1 - start);
            start = i + 1;
        }
    Outcome out;
    std::size_t next = 0;
    if (next == lines.size()) return out;
    out.statusResult = static_cast<long>(lines[next].size());
    out.status = lines[next++];
    out.status = out.status.substr(0, out.status.find('\0'));
    for (int k = 0; k < kResponses; ++k) {
        bool article = ArticleMode(modes, k);
        if (next == lines.size()) {
            out.results.push_back(0);
            return out;
        }
        std::string status = lines[next++];
        std::string text = status;
        long code = ReplyCodeOf(status.substr(0, status.find('\0')));
        bool asked = code == (article ? kArticleCode : kHeaderCode);
        // Another reply than asked for: RFC 3977's multi-line replies still
        // bring data lines, which are read to the terminator and dropped.
        static const long kMultiline[] = {100, 101, 215, 220, 221, 222, 224, 225, 230, 231};
        bool hasData = asked || std::find(std::begin(kMultiline), std::end(kMultiline), code) !=
                                    std::end(kMultiline);
        if (hasData) {
            bool previousCRLF = status.size() >= 2 && status[status.size() - 2] == '\r';
            for (;;) {
                if (next == lines.size()) {
                    out.results.push_back(0);
                    return out;
                }
                const std::string& line = lines[next++];
                if (line == ".\r\n" && previousCRLF) {
                    if (asked && !article) text += line;
                    break;
                }
                if (asked) text += article && line[0] == '.' ? line.substr(1) : line;
                previousCRLF = line.size() >= 2 && line[line.size() - 2] == '\r';
            }
        }
        out.results.push_back(1);
        out.texts.push_back(text);
    }
    return out;
}

bool Small(const std::uint8_t* bytes, std::size_t size) {
    if (size > 4000) return false;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < size; ++i)
        if (bytes[i] == '\n') {
            if (i - lineStart >= 500) return false;
            lineStart = i + 1;
        }
    return size - lineStart < 500;
}

void Same(const Outcome& a, const Outcome& b) {
    // A status line of 2048 bytes or more before its LF reports either its
    // length or the 511 bytes kept, by how it arrived; callers only tell a
    // line (> 0) from a failure, so only that is compared for such a line.
    if (a.statusResult < static_cast<long>(KV_RECEIVE_PIECE) &&
        b.statusResult < static_cast<long>(KV_RECEIVE_PIECE))
        FUZZ_CHECK(a.statusResult == b.statusResult);
    FUZZ_CHECK((a.statusResult > 0) == (b.statusResult > 0));
    FUZZ_CHECK(a.status == b.status);
    FUZZ_CHECK(a.results == b.results);
    FUZZ_CHECK(a.texts == b.texts);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    unsigned modes = data[0];
    unsigned seed = data[1];
    const std::uint8_t* bytes = data + 2;
    std::size_t length = size - 2;

    static kvBuffer headers, article;
    if (headers.capacity == 0) {
        FUZZ_CHECK(headers.Allocate(KV_HEADER_LIST_SIZE));
        FUZZ_CHECK(article.Allocate(KV_ARTICLE_BUFFER_SIZE));
    }
    Outcome bytewise = Run(bytes, length, modes, 0, seed, headers, article);
    Outcome whole = Run(bytes, length, modes, 1, seed, headers, article);
    Outcome mixed = Run(bytes, length, modes, 2, seed, headers, article);
    Same(bytewise, whole);
    Same(bytewise, mixed);
    if (Small(bytes, length)) Same(bytewise, Reference(bytes, length, modes));
    return 0;
}
