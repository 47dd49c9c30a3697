// The big-group search with and without the server's pre-filtering (XPAT):
// korvex-cli through the delaying proxy, which counts the bytes on the wire,
// at loopback and at each delay, deflated and plain, and once more at the
// last delay paced to 10 Mbit/s each way, where the bytes saved count.
#include "bench.h"
#include "delay_proxy.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace kvBench {

bool ServerFilterSearch(int serverPort, const std::string& group, const std::string& pattern,
                        const std::vector<int>& delays) {
    bool ok = true;
    std::vector<std::pair<int, long long>> links;
    for (int delay : delays)
        links.emplace_back(delay, 0);
    if (!delays.empty()) links.emplace_back(delays.back(), 10000000LL);
    for (const auto& link : links) {
        int delay = link.first;
        for (bool compress : {true, false}) {
            for (bool filter : {false, true}) {
                kvDelayProxy proxy;
                if (!StartDelayProxy(delay, serverPort, proxy, link.second)) {
                    std::printf("filter    : cannot start the proxy\n");
                    return false;
                }
                std::vector<std::string> args = {
                    "--server",      "127.0.0.1:" + std::to_string(proxy.port),
                    "--group",       group,
                    "--pattern",     pattern,
                    "--max-headers", "whole"};
                if (!compress) args.push_back("--no-compress");
                if (!filter) args.push_back("--no-server-filter");
                CliFigures f = RunCliSearch(args);
                long long up = 0, down = 0;
                NextConnectionBytes(proxy, up, down, 5000);
                StopDelayProxy(proxy);
                std::printf("filter    : %3d ms each way%s, %-8s %-9s %6.2f s (scan %.3f s), "
                            "%9lld bytes down, %7lld bytes up; %s\n",
                            delay, link.second > 0 ? " 10 Mbit/s" : "",
                            compress ? "deflated" : "plain", filter ? "XPAT" : "full scan", f.wall,
                            f.scan, down, up, f.last.c_str());
                ok = ok && f.ok;
            }
        }
    }
    return ok;
}

} // namespace kvBench
