// korvex-bench [--server HOST[:PORT]] [--group NAME] [--pattern WORD] [--dir DIR] [--skip-search]
//              [--tls-server nntps://HOST[:PORT]] [--cafile FILE]
// Prints one line of figures per benchmark. The search runs in plain text and
// then over TLS (default nntps://localhost:563 trusting
// /tmp/korvex-inn-tls/ca.pem, as scripts/inn-tls.sh sets up) when the CA file exists.
// korvex-bench --compress [--port PORT] [--group NAME] [--pattern WORD]
// --compress runs only the search with and without COMPRESS DEFLATE, plain and
// through a proxy paced to 10 Mbit/s, counting the bytes on the wire.
// korvex-bench --server-filter [--port PORT] [--delays MS,...] [--group NAME] [--pattern WORD]
// --server-filter runs only korvex-cli's search with and without XPAT, at
// loopback and through the delaying proxy (0 and 25 ms each way by default),
// counting the bytes on the wire.
// korvex-bench --network [--port PORT] [--delays MS,MS,...] [--window N] [--no-single]
//              [--group NAME] [--pattern WORD]
// --network runs only the search
// over a slow link (through a delaying proxy on loopback to the news server
// on 127.0.0.1:PORT, 119 by default).
// korvex-bench --head-scan [--port PORT] [--delays MS,...] [--window N] [--group NAME]
//              [--header NAME] [--pattern WORD] [--single-limit N]
// --head-scan reads every article head of the group with HEAD (by default
// Keywords in korvex.test.mixed on public-inbox's 127.0.0.1:10119, as
// scripts/public-inbox-start.sh serves it) at loopback and through the
// delaying proxy, then searches that header with korvex-cli.
// korvex-bench --whole-scan [--port PORT] [--group NAME] [--pattern WORD]
// --whole-scan scans a whole made-up group of 50,000 and of 5,000,000 numbers
// from a server inside the process, each in a child process: headers per
// second and peak RSS, which must stay within 32 MB; then the whole of the
// news server's group (korvex.test.big on port 119) when one runs.
#include "bench.h"
#include "records.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

volatile long long kvBench::sink = 0;

int main(int argc, char** argv) {
    std::string server = "127.0.0.1", group = "korvex.test.big", pattern = "keystone";
    std::string dir = "/tmp";
    std::string tlsServer = "nntps://localhost:563", caFile = "/tmp/korvex-inn-tls/ca.pem";
    bool search = true;
    bool network = false, headScan = false, compress = false, serverFilter = false;
    bool groupGiven = false, patternGiven = false, portGiven = false, delaysGiven = false;
    std::string header = "Keywords";
    long singleLimit = 100;
    int port = 119, window = KV_DEFAULT_PIPELINE;
    bool withSingle = true;
    std::vector<int> delays = {0, 25, 50};
    if (argc == 8 && std::strcmp(argv[1], "--whole-scan-child") == 0)
        return kvBench::WholeScanChild(std::atol(argv[2]), std::atoi(argv[3]), argv[4], argv[5],
                                       std::strcmp(argv[6], "1") == 0,
                                       std::strcmp(argv[7], "1") == 0);
    bool wholeScan = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == "--server" && hasValue)
            server = argv[++i];
        else if (a == "--group" && hasValue)
            group = argv[++i], groupGiven = true;
        else if (a == "--pattern" && hasValue)
            pattern = argv[++i], patternGiven = true;
        else if (a == "--header" && hasValue)
            header = argv[++i];
        else if (a == "--single-limit" && hasValue)
            singleLimit = std::atol(argv[++i]);
        else if (a == "--head-scan")
            headScan = true;
        else if (a == "--whole-scan")
            wholeScan = true;
        else if (a == "--dir" && hasValue)
            dir = argv[++i];
        else if (a == "--tls-server" && hasValue)
            tlsServer = argv[++i];
        else if (a == "--cafile" && hasValue)
            caFile = argv[++i];
        else if (a == "--skip-search")
            search = false;
        else if (a == "--network")
            network = true;
        else if (a == "--compress")
            compress = true;
        else if (a == "--server-filter")
            serverFilter = true;
        else if (a == "--window" && hasValue)
            window = std::atoi(argv[++i]);
        else if (a == "--no-single")
            withSingle = false;
        else if (a == "--port" && hasValue)
            port = std::atoi(argv[++i]), portGiven = true;
        else if (a == "--delays" && hasValue) {
            delaysGiven = true;
            delays.clear();
            for (const char* at = argv[++i]; *at != '\0';) {
                delays.push_back(std::atoi(at));
                const char* comma = std::strchr(at, ',');
                at = comma != nullptr ? comma + 1 : at + std::strlen(at);
            }
        } else {
            std::fprintf(stderr, "usage: korvex-bench [--server H] [--group G] [--pattern P] "
                                 "[--dir D] [--skip-search] [--tls-server S] [--cafile F]\n"
                                 "       korvex-bench --network [--port P] [--delays MS,MS,...] "
                                 "[--window N] [--no-single] [--group G] [--pattern P]\n"
                                 "       korvex-bench --head-scan [--port P] [--delays MS,...] "
                                 "[--window N] [--group G] [--header H] [--pattern P] "
                                 "[--single-limit N]\n"
                                 "       korvex-bench --compress [--port P] [--group G] "
                                 "[--pattern P]\n"
                                 "       korvex-bench --server-filter [--port P] [--delays MS,...] "
                                 "[--group G] [--pattern P]\n"
                                 "       korvex-bench --whole-scan [--port P] [--group G] "
                                 "[--pattern P]\n");
            return 64;
        }
    }
    if (wholeScan) return kvBench::WholeScan(argv[0], port, group, pattern) ? 0 : 1;
    if (compress) return kvBench::CompressedSearch(port, group, pattern) ? 0 : 1;
    if (serverFilter) {
        if (!delaysGiven) delays = {0, 25};
        return kvBench::ServerFilterSearch(port, group, pattern, delays) ? 0 : 1;
    }
    if (headScan) {
        if (!portGiven) port = 10119;
        if (!groupGiven) group = "korvex.test.mixed";
        if (!patternGiven) pattern = "linux";
        if (!delaysGiven) delays = {0, 50};
        return kvBench::HeadScan(port, group, header, pattern, delays, window, singleLimit) ? 0 : 1;
    }
    if (network)
        return kvBench::NetworkSearch(port, group, pattern, delays, window, withSingle) ? 0 : 1;
    // The whole search runs first, while this process is still small: a child
    // started by posix_spawn counts its parent's memory in its own peak.
    if (search && !kvBench::CliSearch(server, group, pattern, dir)) return 1;
    if (search && access(caFile.c_str(), R_OK) == 0 &&
        !kvBench::CliSearch(tlsServer, group, pattern, dir, caFile))
        return 1;
    kvBench::MatchHeaders();
    kvBench::ReceiveMultilineThroughput();
    kvBench::ResultsFileSaveLoad(dir);
    return 0;
}
