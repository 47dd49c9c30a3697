// The big-group search over a slow link: the local news server seen through a
// proxy that delays each direction, for korvex-cli one command at a time,
// korvex-cli with its default window, and a bare pipelined client (the floor).
#include "bare_client.h"
#include "bench.h"
#include "delay_proxy.h"

#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Row {
    bool ok = false;
    double wall = 0, cpu = 0, peakMB = 0;
    std::string note;
};

Row Cli(int port, const std::string& group, const std::string& pattern, int window,
        bool compress = true) {
    std::vector<std::string> args = {"--server",      "127.0.0.1:" + std::to_string(port),
                                     "--group",       group,
                                     "--pattern",     pattern,
                                     "--max-headers", "all",
                                     "--pipeline",    std::to_string(window)};
    if (!compress) args.push_back("--no-compress");
    kvBench::CliFigures f = kvBench::RunCliSearch(args);
    char phases[96];
    std::snprintf(phases, sizeof phases, "scan %.3f s, fetch %.3f s; ", f.scan, f.fetch);
    return Row{f.ok, f.wall, f.cpu, f.peakMB, phases + f.last};
}

// The bare client in a child process, so that its CPU time and peak memory
// are its own.
Row Bare(int port, const std::string& group, const std::string& pattern) {
    int pipeFds[2];
    Row row;
    if (pipe(pipeFds) != 0) return row;
    double start = kvBench::Seconds();
    pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        kvBareResult r = RunBareClient(port, group, "Subject", pattern);
        char line[256];
        int n = std::snprintf(line, sizeof line, "%ld matched, %ld articles%s%s", r.matched,
                              r.received, r.ok ? "" : "; ", r.error.c_str());
        if (write(pipeFds[1], line, static_cast<std::size_t>(n)) < 0) _exit(3);
        _exit(r.ok ? 0 : 2);
    }
    close(pipeFds[1]);
    if (pid < 0) {
        close(pipeFds[0]);
        return row;
    }
    char text[256];
    ssize_t n = read(pipeFds[0], text, sizeof text - 1);
    close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    row.wall = kvBench::Seconds() - start;
    row.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    row.cpu = kvBench::CpuSeconds(usage);
    row.peakMB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    row.note = n > 0 ? std::string(text, static_cast<std::size_t>(n)) : "no report";
    return row;
}

void Print(int delayMs, const char* client, const Row& r) {
    std::printf("network   : %3d ms each way (%3d ms round trip)  %-14s wall %7.3f s  CPU %6.3f s  "
                "peak %5.1f MB  %s\n",
                delayMs, 2 * delayMs, client, r.wall, r.cpu, r.peakMB, r.note.c_str());
    std::fflush(stdout);
}

} // namespace

bool kvBench::NetworkSearch(int serverPort, const std::string& group, const std::string& pattern,
                            const std::vector<int>& delays, int windowSize, bool withSingle) {
    const std::string window = "window " + std::to_string(windowSize);
    std::printf("network   : %s in %s, newest 51200 Subject headers, up to 1024 articles\n",
                pattern.c_str(), group.c_str());
    for (int delay : delays) {
        kvDelayProxy proxy;
        if (!StartDelayProxy(delay, serverPort, proxy)) {
            std::printf("network   : cannot start the delaying proxy\n");
            return false;
        }
        Row pipelined = Cli(proxy.port, group, pattern, windowSize);
        Print(delay, window.c_str(), pipelined);
        // The same without COMPRESS DEFLATE, which costs one round trip of its own.
        Row plain = Cli(proxy.port, group, pattern, windowSize, false);
        Print(delay, "no compress", plain);
        Row bare = Bare(proxy.port, group, pattern);
        Print(delay, "bare client", bare);
        Row single;
        if (withSingle) {
            single = Cli(proxy.port, group, pattern, 1);
            Print(delay, "pipeline 1", single);
        }
        StopDelayProxy(proxy);
        if (!pipelined.ok || !plain.ok || !bare.ok || (withSingle && !single.ok)) return false;
        double roundTrip = 2 * delay / 1000.0;
        std::printf("network   : %3d ms each way: window %.2fx the bare client (%+.1f round "
                    "trips), %.2fx without COMPRESS (%+.1f round trips)",
                    delay, pipelined.wall / bare.wall,
                    roundTrip > 0 ? (pipelined.wall - bare.wall) / roundTrip : 0.0,
                    plain.wall / bare.wall,
                    roundTrip > 0 ? (plain.wall - bare.wall) / roundTrip : 0.0);
        if (withSingle)
            std::printf(", %.2fx the time of one command at a time", pipelined.wall / single.wall);
        std::printf("\n");
    }
    return true;
}
