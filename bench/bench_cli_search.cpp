// A whole search through korvex-cli against a news server: wall time of the
// header scan and of the fetch (taken from the moments its status lines
// arrive), the client's CPU time and its peak memory.
#include "bench.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

kvBench::CliFigures kvBench::RunCliSearch(const std::vector<std::string>& searchArgs) {
    CliFigures f;
#ifndef KORVEX_CLI_PATH
    (void)searchArgs;
    f.last = "korvex-cli not built";
    return f;
#else
    std::vector<std::string> args = {KORVEX_CLI_PATH, "search"};
    args.insert(args.end(), searchArgs.begin(), searchArgs.end());
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int pipeFds[2];
    if (pipe(pipeFds) != 0) return f;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    pid_t pid = 0;
    double start = Seconds();
    int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        f.last = std::string("cannot start ") + argv[0];
        return f;
    }

    // Follow the status lines as they come to time the two phases.
    double scanStart = 0, scanEnd = 0, fetchEnd = 0;
    std::string partial;
    char buffer[4096];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) {
        partial.append(buffer, static_cast<std::size_t>(n));
        std::size_t lf;
        while ((lf = partial.find('\n')) != std::string::npos) {
            std::string line = partial.substr(0, lf);
            partial.erase(0, lf + 1);
            double now = Seconds();
            if (line.find("requesting headers") != std::string::npos) scanStart = now;
            if (line == "SEARCH: Requesting matching articles...") scanEnd = now;
            if (line.rfind("Finished receiving articles", 0) == 0) fetchEnd = now;
            f.last = line;
        }
    }
    close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    f.wall = Seconds() - start;
    f.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    f.ok = f.exitCode == 0;
    f.cpu = CpuSeconds(usage);
    f.peakMB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    f.scan = scanEnd - scanStart;
    f.fetch = fetchEnd - scanEnd;
    return f;
#endif
}

bool kvBench::CliSearch(const std::string& server, const std::string& group,
                        const std::string& pattern, const std::string& directory,
                        const std::string& caFile) {
    std::string save = directory + "/korvex-bench-search.kvx";
    std::vector<std::string> args = {"--server", server,          "--group", group,    "--pattern",
                                     pattern,    "--max-headers", "all",     "--save", save};
    if (!caFile.empty()) args.insert(args.end(), {"--cafile", caFile});
    const char* label = caFile.empty() ? "search    " : "search TLS";
    CliFigures f = RunCliSearch(args);
    std::remove(save.c_str());
    if (!f.ok) {
        std::printf("%s: failed (exit %d): %s\n", label, f.exitCode, f.last.c_str());
        return false;
    }
    std::printf("%s: %s %s in %s: scan %.3f s, fetch %.3f s, wall %.3f s, client CPU %.3f s "
                "(%.1f%% of wall), peak memory %.1f MB; %s\n",
                label, server.c_str(), pattern.c_str(), group.c_str(), f.scan, f.fetch, f.wall,
                f.cpu, 100.0 * f.cpu / f.wall, f.peakMB, f.last.c_str());
    return true;
}
