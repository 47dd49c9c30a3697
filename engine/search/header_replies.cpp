#include "header_replies.h"

#include "article.h"
#include "records.h"
#include "transport.h"

#include <cstring>
#include <strings.h>

namespace {

// Calls `line(start, length)` for each data line of a multi-line response
// (status line skipped, line ends left out, the terminating "." ends it).
template <typename F> void ForEachDataLine(const char* response, std::size_t length, F line) {
    const char* end = response + length;
    const char* at = static_cast<const char*>(std::memchr(response, '\n', length));
    while (at != nullptr && ++at < end) {
        const char* lf =
            static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
        std::size_t n = static_cast<std::size_t>((lf != nullptr ? lf : end) - at);
        if (n > 0 && at[n - 1] == '\r') --n;
        if (n == 1 && at[0] == '.') return;
        line(at, n);
        at = lf;
    }
}

bool SameName(const char* at, std::size_t n, const char* header) {
    return n == std::strlen(header) && strncasecmp(at, header, n) == 0;
}

bool IsCountItem(const char* at, std::size_t n) {
    return SameName(at, n, "Bytes") || SameName(at, n, "Lines");
}

} // namespace

long ParseNumberedLine(char* line, char*& value) {
    value = std::strchr(line, ' ');
    if (value != nullptr) ++value;
    return line[0] >= '0' && line[0] <= '9' ? DecodeNumber(line) : 0;
}

kvOverviewField FindOverviewField(const char* response, std::size_t length, const char* header) {
    kvOverviewField found;
    if (response == nullptr) {
        static const char* const kStandard[] = {"Subject", "From", "Date", "Message-ID",
                                                "References"};
        for (int i = 0; i < 5; ++i)
            if (strcasecmp(kStandard[i], header) == 0) found.column = i + 1;
        return found;
    }
    int column = 0;
    ForEachDataLine(response, length, [&](const char* at, std::size_t n) {
        ++column;
        if (found.column != 0 || n == 0 || at[0] == ':') return; // a metadata item
        const char* colon = static_cast<const char*>(std::memchr(at, ':', n));
        if (colon == nullptr) return;
        std::size_t name = static_cast<std::size_t>(colon - at);
        if (IsCountItem(at, name) || !SameName(at, name, header)) return;
        found.column = column;
        const char* rest = colon + 1;
        found.full = SameName(rest, n - name - 1, "full");
    });
    return found;
}

long ParseOverviewLine(char* line, const kvOverviewField& field, char*& value) {
    value = nullptr;
    long number = line[0] >= '0' && line[0] <= '9' ? DecodeNumber(line) : 0;
    char* at = std::strchr(line, '\t');
    for (int column = 1; at != nullptr && column < field.column; ++column)
        at = std::strchr(at + 1, '\t');
    if (at == nullptr || field.column == 0) return number;
    ++at;
    if (char* tab = std::strchr(at, '\t')) *tab = '\0';
    if (field.full) {
        // "Name: value": the name is left out (it is the header asked for).
        char* colon = std::strchr(at, ':');
        if (colon == nullptr) return number;
        at = colon + 1;
        while (*at == ' ' || *at == '\t')
            ++at;
    }
    if (*at != '\0') value = at;
    return number;
}

bool FindHeadValue(const char* response, const char* header, char* value, std::size_t capacity) {
    std::size_t name = std::strlen(header);
    const char* line = std::strchr(response, '\n');
    while (line != nullptr && *++line != '\0') {
        if (line[0] == '\r' || line[0] == '\n') break; // a blank line ends the header block
        if (strncasecmp(line, header, name) == 0 && line[name] == ':') {
            const char* at = line + name + 1;
            while (*at == ' ' || *at == '\t')
                ++at;
            CopyUnfoldedValue(at, value, capacity);
            return true;
        }
        line = std::strchr(line, '\n');
    }
    return false;
}

kvListedHeader ReadListHeaders(const char* response, std::size_t length, const char* header) {
    if (length < 3 || ReplyCode(response) != 215) return kvListedHeader::Unknown;
    kvListedHeader listed = kvListedHeader::NotListed;
    ForEachDataLine(response, length, [&](const char* at, std::size_t n) {
        std::size_t word = 0;
        while (word < n && at[word] != ' ' && at[word] != '\t')
            ++word;
        if ((word == 1 && at[0] == ':') || SameName(at, word, header))
            listed = kvListedHeader::Listed;
    });
    return listed;
}
