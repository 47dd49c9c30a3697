// The whole search run against a server whose replies are fuzzed. Input: two
// option bytes, then the replies in order, separated by "\n~\n": the first
// greets, each further one answers the next command line the server reads
// (a reply not ending in LF gets CR LF); when they run out, or no command
// comes for a moment, the server closes the connection.
//   byte 0: bit 0 one command at a time (else commands sent ahead), bit 1 a
//   login is at hand, bit 2 a password may go unencrypted, bits 3-4 the
//   header searched, bits 5-6 the articles to find (all, 1, 3, 40);
//   byte 1: bits 0-1 the headers to scan (4000, all, 600, 100), bit 2 match
//   all words (else any), bit 3 match case.
// The server's side is plain text: STARTTLS, when agreed to, meets no TLS, and
// COMPRESS, when agreed to, meets no deflate stream.
//
// Properties: the result is -1, 0 or 1..the limit, the set holds exactly that
// many records chained in slot order, every field fits its width and no body
// holds CR or NUL; every command is one line ended by CR LF with no other
// bytes; the ranges of HDR, XHDR, OVER and XOVER lie within the numbers of a
// group reply the server sent, at most 500 numbers, and each range is one
// asked for before (again, after a refusal, a login or a HEAD check, perhaps
// with another command) or below all of them (a GROUP starts again); HEAD asks for
// numbers within a group reply; every ARTICLE asks for a number that starts a
// line the server sent or that HEAD asked for, and no more often than that
// (counted afresh after a GROUP), so never more ARTICLE commands than matches (an article that
// cannot be had is made up for by the next match, and commands sent ahead may go past the limit:
// the limit bounds the result); the run leaves no descriptor open.
#include "fuzz_check.h"

#include "records.h"
#include "result_set_check.h"
#include "search_run.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <map>
#include <netinet/in.h>
#include <poll.h>
#include <set>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kIdleMs = 40; // a client that sends nothing for this long waits for more reply

int Listener(int& port) {
    static int fd = -1;
    static int listenPort = 0;
    if (fd < 0) {
        fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        FUZZ_CHECK(fd >= 0);
        int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        FUZZ_CHECK(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0);
        FUZZ_CHECK(listen(fd, 4) == 0);
        socklen_t length = sizeof addr;
        FUZZ_CHECK(getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) == 0);
        listenPort = ntohs(addr.sin_port);
    }
    port = listenPort;
    return fd;
}

int OpenDescriptors() {
    int count = 0;
    DIR* dir = opendir("/proc/self/fd");
    FUZZ_CHECK(dir != nullptr);
    while (dirent* e = readdir(dir))
        if (e->d_name[0] != '.') ++count;
    closedir(dir);
    return count;
}

void SendAll(int fd, const std::string& text) {
    std::size_t sent = 0;
    while (sent < text.size()) {
        ssize_t n = send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<std::size_t>(n);
    }
}

// What the server saw: every byte the client sent, and each reply in the order
// it went out, next to the command it answered ("" for the greeting).
struct Conversation {
    std::string received;
    std::vector<std::pair<std::string, std::string>> exchanges;
};

void Serve(int listener, const std::vector<std::string>& replies, Conversation& talk) {
    pollfd p{listener, POLLIN, 0};
    if (poll(&p, 1, 3000) <= 0) return;
    int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    std::size_t next = 0;
    auto answer = [&](const std::string& command) {
        if (next == replies.size()) return false;
        std::string reply = replies[next++];
        if (reply.empty() || reply.back() != '\n') reply += "\r\n";
        talk.exchanges.emplace_back(command, reply);
        SendAll(fd, reply);
        return true;
    };
    bool open = answer("");
    std::size_t lineStart = 0;
    while (open) {
        pollfd q{fd, POLLIN, 0};
        if (poll(&q, 1, kIdleMs) <= 0) break;
        char chunk[4096];
        ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) break;
        talk.received.append(chunk, static_cast<std::size_t>(n));
        std::size_t lf;
        while (open && (lf = talk.received.find('\n', lineStart)) != std::string::npos) {
            open = answer(talk.received.substr(lineStart, lf + 1 - lineStart));
            lineStart = lf + 1;
        }
    }
    close(fd);
}

bool StartsWith(const std::string& s, const char* prefix) {
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

// Whether the exchange turns the rest of the connection into something other
// than plain lines: a STARTTLS, or a COMPRESS the server agreed to.
bool EndsPlainText(const std::string& command, const std::string& reply) {
    return command == "STARTTLS\r\n" ||
           (command == "COMPRESS DEFLATE\r\n" && StartsWith(reply, "206"));
}

// The commands: one line each, CR LF ended, nothing else; checked up to a
// STARTTLS or an agreed COMPRESS (what follows is TLS or deflate, or nothing).
void CheckCommands(const Conversation& talk) {
    std::size_t start = 0;
    for (std::size_t index = 1; start < talk.received.size(); ++index) {
        std::size_t lf = talk.received.find('\n', start);
        FUZZ_CHECK(lf != std::string::npos); // no partial command
        std::string line = talk.received.substr(start, lf + 1 - start);
        FUZZ_CHECK(line.size() >= 3 && line.size() <= 512);
        FUZZ_CHECK(line[line.size() - 2] == '\r');
        for (std::size_t i = 0; i + 2 < line.size(); ++i)
            FUZZ_CHECK(line[i] != '\r' && line[i] != '\0' && line[i] != '\n');
        // Line k is answered by exchange k (exchange 0 is the greeting).
        if (line == "STARTTLS\r\n") return;
        if (index < talk.exchanges.size() && EndsPlainText(line, talk.exchanges[index].second))
            return;
        start = lf + 1;
    }
}

// What the client may have read from the replies sent before a command: the
// numbers of lines "211 count first last" and the numbers that start lines. A
// reply is not paired with the command it answered here: a client that read
// more or less than a reply would pair them otherwise, and the checks must
// hold even then.
struct Seen {
    std::vector<std::pair<long, long>> ranges;
    std::map<long, int> numbers; // how many lines start with each

    void Add(const std::string& reply) {
        for (std::size_t at = 0; at < reply.size();) {
            std::size_t lf = reply.find('\n', at);
            std::string line = reply.substr(at, lf == std::string::npos ? lf : lf - at);
            if (StartsWith(line, "211")) {
                // Any two numbers of the line: however the client reads its
                // count, first and last, its range lies between two of them.
                std::vector<long> found;
                for (std::size_t i = 3; i < line.size(); ++i)
                    if (line[i] >= '0' && line[i] <= '9' &&
                        (line[i - 1] < '0' || line[i - 1] > '9'))
                        found.push_back(std::strtol(line.c_str() + i, nullptr, 10));
                for (long a : found)
                    for (long b : found)
                        if (a <= b) ranges.emplace_back(a, b);
            }
            // NUL bytes in a header list are left out, unless the line was
            // cut before them: either reading may give the number.
            std::string withoutNul = line;
            withoutNul.erase(std::remove(withoutNul.begin(), withoutNul.end(), '\0'),
                             withoutNul.end());
            std::set<long> starts;
            for (const std::string* text : {&line, &withoutNul}) {
                char* end = nullptr;
                long number = std::strtol(text->c_str(), &end, 10);
                if (end != text->c_str()) starts.insert(number);
            }
            for (long number : starts)
                ++numbers[number];
            if (lf == std::string::npos) break;
            at = lf + 1;
        }
    }
    bool InSomeGroup(long low, long high) const {
        for (const auto& r : ranges)
            if (low >= r.first && high <= r.second) return true;
        return false;
    }
};

void CheckFlow(const Conversation& talk) {
    Seen seen;
    std::set<std::pair<long, long>> ranges; // the list ranges asked for
    long lowest = -1;                       // the lowest number among them
    std::map<long, int> asked, heads;
    for (const auto& exchange : talk.exchanges) {
        const std::string& command = exchange.first;
        if (EndsPlainText(command, exchange.second)) return; // the rest is not plain text
        std::string verb = command.substr(0, command.find(' '));
        if (StartsWith(command, "GROUP ")) {
            ranges.clear();
            lowest = -1;
            asked.clear();
            heads.clear();
        } else if (verb == "XHDR" || verb == "HDR" || verb == "OVER" || verb == "XOVER") {
            long low = 0, high = 0;
            std::size_t space = command.rfind(' ');
            FUZZ_CHECK(std::sscanf(command.c_str() + space, " %ld-%ld", &low, &high) == 2);
            FUZZ_CHECK(low <= high && high - low < 500 && seen.InSomeGroup(low, high));
            FUZZ_CHECK(lowest < 0 || high < lowest || ranges.count({low, high}) == 1);
            ranges.insert({low, high});
            if (lowest < 0 || low < lowest) lowest = low;
        } else if (verb == "HEAD") {
            long number = std::strtol(command.c_str() + 5, nullptr, 10);
            FUZZ_CHECK(seen.InSomeGroup(number, number));
            ++heads[number];
        } else if (StartsWith(command, "ARTICLE ")) {
            long number = std::strtol(command.c_str() + 8, nullptr, 10);
            // A listed line that starts with no number is never fetched
            // (regressions/search_run/xhdr-line-without-number).
            FUZZ_CHECK(number > 0 && (seen.numbers.count(number) == 1 || heads.count(number) == 1));
            FUZZ_CHECK(++asked[number] <= seen.numbers[number] + heads[number]);
        }
        seen.Add(exchange.second);
    }
}

void CheckResults(const kvResultSet& set, int result, int limit) {
    FUZZ_CHECK(result >= -1 && result <= limit);
    int filled = result < 0 ? 0 : result;
    CheckResultSlots(set, filled);
    for (int i = 0; i < filled; ++i) {
        const char* body = set.At(i).body.get();
        if (body != nullptr) FUZZ_CHECK(std::memchr(body, '\r', std::strlen(body)) == nullptr);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    static const char* const kHeaders[] = {"Subject", "From", "Date", "Keywords"};
    static const char* const kFind[] = {"all", "1", "3", "40"};
    static const char* const kScan[] = {"4000", "all", "600", "100"};
    std::vector<std::string> replies;
    std::string script(reinterpret_cast<const char*>(data + 2), size - 2);
    for (std::size_t start = 0;;) {
        std::size_t sep = script.find("\n~\n", start);
        replies.push_back(script.substr(start, sep == std::string::npos ? sep : sep - start));
        if (sep == std::string::npos) break;
        start = sep + 3;
    }

    int port = 0;
    int listener = Listener(port);
    kvSearchRequest request;
    std::snprintf(request.server, sizeof request.server, "127.0.0.1:%d", port);
    CopyField(request.newsgroup, "alt.test");
    CopyField(request.pattern, "match -never");
    CopyField(request.header, kHeaders[(data[0] >> 3) & 3]);
    CopyField(request.maxArticles, kFind[(data[0] >> 5) & 3]);
    CopyField(request.maxHeaders, kScan[data[1] & 3]);
    request.pipeline = (data[0] & 1) != 0 ? 1 : KV_DEFAULT_PIPELINE;
    request.allowPlainPassword = (data[0] & 4) != 0 ? 1 : 0;
    request.matchMode = (data[1] & 4) != 0 ? MATCH_ALL_WORDS : MATCH_ANY_WORD;
    request.ignoreCase = (data[1] & 8) != 0 ? 0 : 1;
    request.timeoutSeconds = 1;
    request.retries = 0; // the scripted server serves one connection
    int limit = EffectiveMaxArticles(request);

    int before = OpenDescriptors();
    Conversation talk;
    int result;
    kvResultSet results;
    {
        kvSearchContext context;
        bool login = (data[0] & 2) != 0;
        context.credentials = [login](const std::string&, kvCredentials& out, std::string&) {
            if (!login) return kvCredentialAnswer::None;
            out.user = "reader";
            out.password = "secret";
            return kvCredentialAnswer::Given;
        };
        std::thread server(Serve, listener, std::cref(replies), std::ref(talk));
        result = RunSearch(request, results, context);
        server.join();
    }
    if (std::getenv("KORVEX_FUZZ_VERBOSE") != nullptr) {
        for (const auto& exchange : talk.exchanges)
            std::fprintf(stderr, "> %s< %s", exchange.first.c_str(), exchange.second.c_str());
        std::fprintf(stderr, "result %d\n", result);
    }
    FUZZ_CHECK(OpenDescriptors() == before);
    CheckResults(results, result, limit);
    CheckCommands(talk);
    CheckFlow(talk);
    return 0;
}
