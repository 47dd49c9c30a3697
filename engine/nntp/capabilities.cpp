#include "capabilities.h"

#include "commands.h"

#include <cstring>
#include <strings.h>

namespace {

constexpr std::size_t kCapabilityListSize = 16384;

// One blank- or tab-separated word of a capability line.
struct kvWord {
    const char* at;
    std::size_t length;

    bool Is(const char* word) const {
        return length == std::strlen(word) && strncasecmp(at, word, length) == 0;
    }
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\0';
}

// Splits [at, end) into words; returns how many were stored (at most max).
std::size_t SplitWords(const char* at, const char* end, kvWord* words, std::size_t max) {
    std::size_t count = 0;
    while (at < end && count < max) {
        while (at < end && IsBlank(*at))
            ++at;
        const char* start = at;
        while (at < end && !IsBlank(*at))
            ++at;
        if (at > start) words[count++] = kvWord{start, static_cast<std::size_t>(at - start)};
    }
    return count;
}

bool HasArgument(const kvWord* words, std::size_t count, const char* argument) {
    for (std::size_t i = 1; i < count; ++i)
        if (words[i].Is(argument)) return true;
    return false;
}

void ReadLine(const kvWord* w, std::size_t count, kvCapabilities& caps) {
    if (count == 0) return;
    if (w[0].Is("READER")) caps.reader = true;
    if (w[0].Is("MODE-READER")) caps.modeReader = true;
    if (w[0].Is("HDR")) caps.hdr = true;
    if (w[0].Is("OVER")) caps.over = true;
    if (w[0].Is("STARTTLS")) caps.starttls = true;
    if (w[0].Is("COMPRESS") && HasArgument(w, count, "DEFLATE")) caps.compressDeflate = true;
    if (w[0].Is("AUTHINFO")) {
        caps.authinfo = true;
        if (HasArgument(w, count, "USER")) caps.authinfoUser = true;
    }
    if (w[0].Is("LIST")) {
        if (HasArgument(w, count, "HEADERS")) caps.listHeaders = true;
        if (HasArgument(w, count, "OVERVIEW.FMT")) caps.listOverviewFmt = true;
    }
}

} // namespace

kvCapabilities ParseCapabilities(const char* response, std::size_t length) {
    kvCapabilities caps;
    if (length < 3 || ReplyCode(response) != 101) return caps;
    caps.known = true;
    const char* end = response + length;
    const char* at = static_cast<const char*>(std::memchr(response, '\n', length));
    while (at != nullptr && ++at < end) {
        const char* lf =
            static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
        const char* lineEnd = lf != nullptr ? lf : end;
        std::size_t lineLength = static_cast<std::size_t>(lineEnd - at);
        if (at[0] == '.' && (lineLength == 1 || (lineLength == 2 && at[1] == '\r'))) break;
        kvWord words[32];
        ReadLine(words, SplitWords(at, lineEnd, words, 32), caps);
        at = lf;
    }
    return caps;
}

long AskCapabilities(kvConnection& conn, kvCapabilities& caps) {
    caps = kvCapabilities{};
    kvBuffer list;
    if (!list.Allocate(kCapabilityListSize)) return -2;
    SendCommand(conn, "CAPABILITIES\r\n");
    long n = ReceiveMultiline(conn, list, 101, kvResponseMode::HeaderList);
    if (n <= 0) return n;
    caps = ParseCapabilities(list.data.get(), list.length);
    return 1;
}
