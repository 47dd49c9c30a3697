// A whole-group header scan against a news server inside this process that
// makes its XHDR replies up as they are asked for: headers per second and the
// peak resident memory (VmHWM), each group size in a child process of its
// own so that one size's peak does not hide in the other's.
#include "bench.h"
#include "delay_proxy.h"
#include "search_run.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr long kMatchEvery = 25000; // every such number carries the pattern
constexpr double kPeakLimitMB = 32.0;

// The made-up group 1..last: GROUP, XHDR of any range, ARTICLE, QUIT.
class kvGeneratedServer {
  public:
    explicit kvGeneratedServer(long last) : last(last) {}
    ~kvGeneratedServer() {
        if (listenFd >= 0) close(listenFd);
        if (thread.joinable()) thread.join();
    }
    kvGeneratedServer(const kvGeneratedServer&) = delete;
    kvGeneratedServer& operator=(const kvGeneratedServer&) = delete;

    // Listens on 127.0.0.1 and serves one connection on a thread; the port, or 0.
    int Start() {
        listenFd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listenFd < 0 || bind(listenFd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            listen(listenFd, 1) != 0 ||
            getsockname(listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return 0;
        thread = std::thread([this] { Serve(); });
        return ntohs(address.sin_port);
    }

  private:
    void Serve() {
        int fd = accept(listenFd, nullptr, nullptr);
        if (fd < 0) return;
        std::string out = "200 generated bench server ready\r\n";
        std::string pending;
        char buffer[65536];
        bool open = Flush(fd, out);
        while (open) {
            ssize_t n = read(fd, buffer, sizeof buffer);
            if (n <= 0) break;
            pending.append(buffer, static_cast<std::size_t>(n));
            std::size_t start = 0, lf;
            while (open && (lf = pending.find('\n', start)) != std::string::npos) {
                std::string line = pending.substr(start, lf - start);
                start = lf + 1;
                if (!line.empty() && line.back() == '\r') line.pop_back();
                open = Answer(line, out) && Flush(fd, out);
            }
            pending.erase(0, start);
        }
        close(fd);
    }

    // Appends the reply to `out`; false after QUIT.
    bool Answer(const std::string& line, std::string& out) {
        long low = 0, high = 0, number = 0;
        char header[64];
        if (line == "CAPABILITIES") {
            out += "101 capabilities\r\nVERSION 2\r\nREADER\r\n.\r\n";
        } else if (line.compare(0, 6, "GROUP ") == 0) {
            out += "211 " + std::to_string(last) + " 1 " + std::to_string(last) + " " +
                   line.substr(6) + "\r\n";
        } else if (std::sscanf(line.c_str(), "XHDR %63s %ld-%ld", header, &low, &high) == 3) {
            out += "221 ";
            out += header;
            out += " fields follow\r\n";
            char text[160];
            for (long n = low; n <= high && n <= last; ++n) {
                int size = std::snprintf(text, sizeof text,
                                         n % kMatchEvery == 0
                                             ? "%ld Re: keystone figures for article %ld\r\n"
                                             : "%ld Re: the weekly report on article %ld\r\n",
                                         n, n);
                out.append(text, static_cast<std::size_t>(size));
            }
            out += ".\r\n";
        } else if (std::sscanf(line.c_str(), "ARTICLE %ld", &number) == 1) {
            std::string id = "<" + std::to_string(number) + "@bench.example>";
            out += "220 " + std::to_string(number) + " " + id + "\r\nFrom: bench@example.org\r\n" +
                   "Newsgroups: korvex.bench\r\nSubject: Re: keystone figures for article " +
                   std::to_string(number) + "\r\nMessage-ID: " + id +
                   "\r\n\r\nThe figures.\r\n.\r\n";
        } else if (line == "QUIT") {
            out += "205 bye\r\n";
            return false;
        } else {
            out += "500 not here\r\n";
        }
        return true;
    }

    bool Flush(int fd, std::string& out) {
        std::size_t at = 0;
        while (at < out.size()) {
            ssize_t n = send(fd, out.data() + at, out.size() - at, MSG_NOSIGNAL);
            if (n <= 0) return false;
            at += static_cast<std::size_t>(n);
        }
        out.clear();
        return true;
    }

    long last;
    int listenFd = -1;
    std::thread thread;
};

double PeakResidentMB() {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) return -1;
    char line[256];
    double kb = -1;
    while (std::fgets(line, sizeof line, status) != nullptr)
        if (std::strncmp(line, "VmHWM:", 6) == 0) kb = std::atof(line + 6);
    std::fclose(status);
    return kb / 1024.0;
}

// One whole-group scan on 127.0.0.1:port; prints its figures. `numbers`: the
// group's size when known (the made-up group), else 0.
bool RunWholeScan(int port, const std::string& group, const std::string& pattern, bool compress,
                  bool serverFilter, long numbers, const char* what) {
    kvSearchRequest request;
    CopyField(request.server, ("127.0.0.1:" + std::to_string(port)).c_str());
    CopyField(request.newsgroup, group.c_str());
    CopyField(request.pattern, pattern.c_str());
    CopyField(request.maxHeaders, "whole");
    request.compress = compress;
    request.serverFilter = serverFilter;
    // The news server's group: one article, so that its bytes are the scan's.
    if (numbers == 0) CopyField(request.maxArticles, "1");
    kvSearchContext context;
    double start = kvBench::Seconds(), scanEnd = 0;
    long long scanned = 0;
    context.report = [&](const kvStatus& status) {
        if (status.phase != kvPhase::HeaderScan) return;
        scanEnd = kvBench::Seconds();
        scanned = status.numbersDone;
    };
    kvSearchOutcome outcome = RunSearchRequest(request, context);
    double end = kvBench::Seconds();
    double scan = scanEnd > start ? scanEnd - start : end - start;
    double peak = PeakResidentMB();
    std::printf("whole-group scan, %-29s %9lld numbers: %7.2f s scan (%9.0f headers/s), "
                "%6.2f s in all, %lld matched, %d fetched, peak RSS %5.1f MB",
                what, scanned, scan, static_cast<double>(scanned) / scan, end - start,
                context.matchedTotal, outcome.count, peak);
    std::printf("%s; %s\n", peak <= kPeakLimitMB ? "" : " (over 32 MB)", outcome.status.c_str());
    std::fflush(stdout);
    bool found =
        outcome.end == kvSearchEnd::Found &&
        (numbers == 0 || (scanned == numbers && context.matchedTotal == numbers / kMatchEvery));
    return found && peak >= 0 && peak <= kPeakLimitMB;
}

} // namespace

int kvBench::WholeScanChild(long numbers, int port, const std::string& group,
                            const std::string& pattern, bool compress, bool serverFilter) {
    if (numbers == 0) {
        std::string what = group + (compress ? "" : " plain") + (serverFilter ? " XPAT" : "");
        return RunWholeScan(port, group, pattern, compress, serverFilter, 0, what.c_str()) ? 0 : 1;
    }
    kvGeneratedServer server(numbers);
    int serverPort = server.Start();
    if (serverPort == 0) {
        std::fprintf(stderr, "whole-group scan: cannot listen on 127.0.0.1\n");
        return 1;
    }
    return RunWholeScan(serverPort, "korvex.bench.whole", "keystone", true, false, numbers,
                        "made-up group")
               ? 0
               : 1;
}

namespace {

bool Listening(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

bool SpawnChild(const char* self, const std::vector<std::string>& args) {
    std::vector<std::string> all = {self, "--whole-scan-child"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int status = 0;
    return posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv.data(), environ) == 0 &&
           waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

bool kvBench::WholeScan(const char* self, int innPort, const std::string& group,
                        const std::string& pattern) {
    bool ok = true;
    for (long numbers : {50'000L, 5'000'000L})
        ok = SpawnChild(self, {std::to_string(numbers), "0", "", "", "1", "0"}) && ok;
    if (!Listening(innPort)) {
        std::printf("whole-group scan of %s: no news server on 127.0.0.1:%d, left out\n",
                    group.c_str(), innPort);
        return ok;
    }
    // The news server's group through a proxy that only counts the bytes.
    for (bool compress : {true, false}) {
        for (bool filter : {false, true}) {
            kvDelayProxy proxy;
            if (!StartDelayProxy(0, innPort, proxy)) {
                std::printf("whole-group scan of %s: no proxy\n", group.c_str());
                return false;
            }
            bool scanned = SpawnChild(self, {"0", std::to_string(proxy.port), group, pattern,
                                             compress ? "1" : "0", filter ? "1" : "0"});
            long long up = 0, down = 0;
            if (scanned && NextConnectionBytes(proxy, up, down, 5000))
                std::printf("  %s%s%s: %lld bytes from the server, %lld to it\n", group.c_str(),
                            compress ? "" : " plain", filter ? " XPAT" : "", down, up);
            std::fflush(stdout); // before the next child writes its line
            StopDelayProxy(proxy);
            ok = scanned && ok;
        }
    }
    return ok;
}
