#include "bare_client.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <functional>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr long kMaxHeaders = 51200;
constexpr long kMaxArticles = 1024;

class Link {
  public:
    explicit Link(int fd) : fd(fd) {}

    // One status line (the greeting, MODE READER, GROUP), without pipelining.
    bool Line(std::string& line) {
        for (;;) {
            std::size_t lf = input.find('\n', start);
            if (lf != std::string::npos) {
                line = input.substr(start, lf + 1 - start);
                start = lf + 1;
                return true;
            }
            if (!Read()) return false;
        }
    }
    bool Command(const std::string& text, std::string& reply) {
        output += text;
        while (!output.empty())
            if (!Write()) return false;
        return Line(reply);
    }

    // Sends commands as `next` hands them out and gives each complete response
    // (status line, and the data lines up to "." for the multi-line codes) to
    // `done`, in order. `next` returns false when it has nothing to send now.
    bool Exchange(const std::function<bool(std::string&)>& next,
                  const std::function<void(const char*, std::size_t)>& done) {
        std::string command;
        for (;;) {
            while (next(command)) {
                output += command;
                ++awaited;
            }
            if (awaited == 0 && output.empty()) return true;
            pollfd p{fd, static_cast<short>(POLLIN | (output.empty() ? 0 : POLLOUT)), 0};
            if (poll(&p, 1, 30000) <= 0) return false;
            if ((p.revents & POLLOUT) && !Write()) return false;
            if ((p.revents & (POLLIN | POLLHUP | POLLERR)) && !Read()) return false;
            std::size_t length;
            while (awaited > 0 && (length = Complete()) > 0) {
                done(input.data() + start, length);
                start += length;
                --awaited;
            }
        }
    }

  private:
    bool Read() {
        if (start > 0 && start == input.size()) {
            input.clear();
            start = 0;
        } else if (start > (1 << 20)) {
            input.erase(0, start);
            start = 0;
        }
        char buffer[65536];
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        input.append(buffer, static_cast<std::size_t>(n));
        return true;
    }
    bool Write() {
        ssize_t n = send(fd, output.data(), output.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) return errno == EAGAIN;
        output.erase(0, static_cast<std::size_t>(n));
        return true;
    }
    // Length of the complete response at `start`, or 0.
    std::size_t Complete() {
        std::size_t lf = input.find('\n', start);
        if (lf == std::string::npos) return 0;
        int code = std::atoi(input.c_str() + start);
        if (code != 220 && code != 221) return lf + 1 - start;
        std::size_t end = input.find("\r\n.\r\n", lf - 1);
        return end == std::string::npos ? 0 : end + 5 - start;
    }

    int fd;
    std::string input, output;
    std::size_t start = 0;
    long awaited = 0;
};

int Connect(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<unsigned short>(port));
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        if (fd >= 0) close(fd);
        return -1;
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

} // namespace

kvBareResult RunBareClient(int port, const std::string& group, const std::string& header,
                           const std::string& word) {
    kvBareResult r;
    int fd = Connect(port);
    if (fd < 0) {
        r.error = "cannot connect";
        return r;
    }
    Link link(fd);
    std::string reply;
    long count = 0, first = 0, last = 0;
    if (!link.Line(reply) || !link.Command("MODE READER\r\n", reply) ||
        !link.Command("GROUP " + group + "\r\n", reply) ||
        std::sscanf(reply.c_str(), "211 %ld %ld %ld", &count, &first, &last) != 3) {
        r.error = "no group: " + reply;
        close(fd);
        return r;
    }

    // Every header chunk at once, newest first.
    const long lowest = std::max(first, last - kMaxHeaders + 1);
    long high = last;
    const std::string needle = Lower(word);
    std::vector<long> matches;
    bool ok = link.Exchange(
        [&](std::string& command) {
            if (high < lowest) return false;
            long low = std::max(lowest, high - 499);
            command =
                "XHDR " + header + " " + std::to_string(low) + "-" + std::to_string(high) + "\r\n";
            high = low - 1;
            return true;
        },
        [&](const char* text, std::size_t length) {
            const char* end = text + length;
            const char* line = static_cast<const char*>(std::memchr(text, '\n', length)) + 1;
            while (line < end && *line != '.') {
                const char* lf = static_cast<const char*>(std::memchr(line, '\n', end - line));
                const char* blank = static_cast<const char*>(std::memchr(line, ' ', lf - line));
                if (blank != nullptr &&
                    Lower(std::string(blank + 1, lf)).find(needle) != std::string::npos)
                    matches.push_back(std::atol(line));
                line = lf + 1;
            }
        });

    // Newest match first, never more outstanding than the articles still wanted.
    std::sort(matches.begin(), matches.end());
    long next = static_cast<long>(matches.size()) - 1, outstanding = 0;
    ok = ok && link.Exchange(
                   [&](std::string& command) {
                       if (next < 0 || r.received + outstanding >= kMaxArticles) return false;
                       command = "ARTICLE " + std::to_string(matches[next--]) + "\r\n";
                       ++outstanding;
                       return true;
                   },
                   [&](const char* text, std::size_t) {
                       --outstanding;
                       if (std::atoi(text) == 220) ++r.received;
                   });
    std::string bye;
    if (ok) link.Command("QUIT\r\n", bye);
    close(fd);
    r.ok = ok;
    r.matched = static_cast<long>(matches.size());
    if (!ok) r.error = "connection failed";
    return r;
}
