#include "delay_proxy.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Bytes waiting in one direction are capped: the proxy stops reading from a
// side whose bytes the other side does not take.
constexpr std::size_t kQueueCap = 4 << 20;
constexpr std::size_t kReadSize = 64 << 10;

struct Chunk {
    Clock::time_point due;
    std::string bytes;
    std::size_t offset = 0;
};

// One direction of a connection: bytes read from `from`, written to `to` once due.
struct Direction {
    int from = -1, to = -1;
    std::deque<Chunk> chunks;
    std::size_t queued = 0;
    bool ended = false;    // `from` has closed its sending side
    bool shutDown = false; // the end has been passed on to `to`
    bool failed = false;
    long long carried = 0;
    // Pacing: bytes that may go now, refilled at the rate since `filled`.
    double allowance = 0;
    Clock::time_point filled = Clock::now();
};

// Bytes per second each direction may carry; 0: no cap.
double gRate = 0;
// The most a paced direction sends at once after a pause: a few segments.
constexpr double kBurst = 16 * 1024;

void Refill(Direction& d) {
    Clock::time_point now = Clock::now();
    double seconds = std::chrono::duration<double>(now - d.filled).count();
    d.allowance = std::min(kBurst, d.allowance + seconds * gRate);
    d.filled = now;
}

struct Pair {
    Direction up, down; // client to server, server to client
    bool Done() const { return (up.shutDown && down.shutDown) || up.failed || down.failed; }
};

void NoDelay(int fd) {
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL, 0) | O_NONBLOCK);
}

int ConnectTarget(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<unsigned short>(port));
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    NoDelay(fd);
    return fd;
}

void ReadSide(Direction& d, std::chrono::milliseconds delay) {
    if (d.ended || d.queued >= kQueueCap) return;
    Chunk c;
    c.bytes.resize(kReadSize);
    ssize_t n = recv(d.from, &c.bytes[0], kReadSize, 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (n <= 0) {
        d.ended = true;
        if (n < 0) d.failed = true;
        return;
    }
    // Acknowledge at once, as a client on a real link would: a sender that
    // waits for our delayed ACK between segments would add its own delay.
    int one = 1;
    setsockopt(d.from, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
    c.bytes.resize(static_cast<std::size_t>(n));
    c.due = Clock::now() + delay;
    d.queued += c.bytes.size();
    d.chunks.push_back(std::move(c));
}

void WriteSide(Direction& d) {
    Clock::time_point now = Clock::now();
    while (!d.chunks.empty() && d.chunks.front().due <= now) {
        Chunk& c = d.chunks.front();
        std::size_t length = c.bytes.size() - c.offset;
        if (gRate > 0) {
            Refill(d);
            if (d.allowance < 1) return;
            length = std::min(length, static_cast<std::size_t>(d.allowance));
        }
        ssize_t n = send(d.to, c.bytes.data() + c.offset, length, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
        if (n < 0) {
            d.failed = true;
            return;
        }
        c.offset += static_cast<std::size_t>(n);
        d.queued -= static_cast<std::size_t>(n);
        d.carried += n;
        if (gRate > 0) d.allowance -= static_cast<double>(n);
        if (c.offset < c.bytes.size()) return;
        d.chunks.pop_front();
    }
    if (d.ended && d.chunks.empty() && !d.shutDown) {
        shutdown(d.to, SHUT_WR);
        d.shutDown = true;
    }
}

// Milliseconds until the next chunk falls due (-1: none waits).
int NextDue(const Direction& d) {
    if (d.chunks.empty()) return -1;
    if (gRate > 0 && d.chunks.front().due <= Clock::now() && d.allowance < 1) {
        // Paced: wake when about a segment more may go.
        double need = 1460.0 - d.allowance;
        return 1 + static_cast<int>(need / gRate * 1000.0);
    }
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(d.chunks.front().due - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) + 1 : 0;
}

[[noreturn]] void Serve(int listenFd, int control, int counts, int delayMs, int targetPort) {
    alarm(600); // never outlives a benchmark
    const std::chrono::milliseconds delay(delayMs);
    std::vector<std::unique_ptr<Pair>> pairs;
    for (;;) {
        std::vector<pollfd> fds = {{control, POLLIN, 0}, {listenFd, POLLIN, 0}};
        int wait = -1;
        for (auto& p : pairs) {
            for (Direction* d : {&p->up, &p->down}) {
                short events = !d->ended && d->queued < kQueueCap ? POLLIN : 0;
                fds.push_back({d->from, events, 0});
                int due = NextDue(*d);
                if (due == 0) fds.push_back({d->to, POLLOUT, 0});
                if (due > 0 && (wait < 0 || due < wait)) wait = due;
            }
        }
        if (poll(fds.data(), fds.size(), wait) < 0 && errno != EINTR) _exit(1);
        if (fds[0].revents != 0) _exit(0); // the benchmark is done (or gone)
        if (fds[1].revents & POLLIN) {
            int client = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                int server = ConnectTarget(targetPort);
                if (server < 0) {
                    close(client);
                } else {
                    NoDelay(client);
                    auto p = std::make_unique<Pair>();
                    p->up.from = p->down.to = client;
                    p->down.from = p->up.to = server;
                    pairs.push_back(std::move(p));
                }
            }
        }
        for (auto& p : pairs) {
            for (Direction* d : {&p->up, &p->down}) {
                pollfd probe{d->from, POLLIN, 0};
                if (!d->ended && poll(&probe, 1, 0) > 0) ReadSide(*d, delay);
                WriteSide(*d);
            }
        }
        for (std::size_t i = 0; i < pairs.size();) {
            if (pairs[i]->Done()) {
                long long carried[2] = {pairs[i]->up.carried, pairs[i]->down.carried};
                if (write(counts, carried, sizeof carried) < 0) _exit(1);
                close(pairs[i]->up.from);
                close(pairs[i]->down.from);
                pairs.erase(pairs.begin() + static_cast<long>(i));
            } else {
                ++i;
            }
        }
    }
}

} // namespace

bool StartDelayProxy(int delayMs, int targetPort, kvDelayProxy& proxy,
                     long long rateBitsPerSecond) {
    int listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd < 0) return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK); // loopback only
    socklen_t len = sizeof addr;
    int pipeFds[2];
    int countFds[2] = {-1, -1};
    if (pipe2(countFds, O_CLOEXEC) != 0) {
        close(listenFd);
        return false;
    }
    if (bind(listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listenFd, 8) != 0 ||
        getsockname(listenFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
        pipe2(pipeFds, O_CLOEXEC) != 0) {
        close(listenFd);
        close(countFds[0]);
        close(countFds[1]);
        return false;
    }
    pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[1]);
        close(countFds[0]);
        gRate = static_cast<double>(rateBitsPerSecond) / 8.0;
        Serve(listenFd, pipeFds[0], countFds[1], delayMs, targetPort);
    }
    close(listenFd);
    close(pipeFds[0]);
    close(countFds[1]);
    if (pid < 0) {
        close(pipeFds[1]);
        close(countFds[0]);
        return false;
    }
    proxy.counts = countFds[0];
    proxy.pid = pid;
    proxy.port = ntohs(addr.sin_port);
    proxy.control = pipeFds[1];
    return true;
}

void StopDelayProxy(kvDelayProxy& proxy) {
    if (proxy.pid <= 0) return;
    close(proxy.control); // the proxy sees the end of its control pipe and leaves
    close(proxy.counts);
    int status = 0;
    waitpid(proxy.pid, &status, 0);
    proxy = kvDelayProxy{};
}

bool NextConnectionBytes(kvDelayProxy& proxy, long long& up, long long& down, int waitMs) {
    pollfd p{proxy.counts, POLLIN, 0};
    if (poll(&p, 1, waitMs) <= 0) return false;
    long long carried[2];
    if (read(proxy.counts, carried, sizeof carried) != static_cast<ssize_t>(sizeof carried))
        return false;
    up = carried[0];
    down = carried[1];
    return true;
}
