// korvex-bench [--server HOST[:PORT]] [--group NAME] [--pattern WORD] [--dir DIR] [--skip-search]
// Prints one line of figures per benchmark.
#include "bench.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

volatile long long bench::sink = 0;

int main(int argc, char** argv) {
    std::string server = "127.0.0.1", group = "korvex.test.big", pattern = "keystone";
    std::string dir = "/tmp";
    bool search = true;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == "--server" && hasValue)
            server = argv[++i];
        else if (a == "--group" && hasValue)
            group = argv[++i];
        else if (a == "--pattern" && hasValue)
            pattern = argv[++i];
        else if (a == "--dir" && hasValue)
            dir = argv[++i];
        else if (a == "--skip-search")
            search = false;
        else {
            std::fprintf(stderr, "usage: korvex-bench [--server H] [--group G] [--pattern P] "
                                 "[--dir D] [--skip-search]\n");
            return 64;
        }
    }
    // The whole search runs first, while this process is still small: a child
    // started by posix_spawn counts its parent's memory in its own peak.
    if (search && !bench::CliSearch(server, group, pattern, dir)) return 1;
    bench::MatchHeaders();
    bench::ReceiveMultilineThroughput();
    bench::ResultsFileSaveLoad(dir);
    return 0;
}
