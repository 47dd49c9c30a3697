// Shared pieces of the benchmarks: a monotonic timer, a sink that keeps the
// optimizer from dropping work, and the benchmark entry points.
#pragma once

#include <chrono>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace kvBench {

inline double Seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline double CpuSeconds(const rusage& usage) {
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

extern volatile long long sink;

// One korvex-cli search (arguments after "search") in a process of its own.
struct CliFigures {
    bool ok = false;
    int exitCode = -1;
    double wall = 0, cpu = 0, peakMB = 0;
    double scan = 0, fetch = 0; // from the moments the status lines arrived
    std::string last;           // the last status line
};
CliFigures RunCliSearch(const std::vector<std::string>& searchArgs);

void MatchHeaders();
void ReceiveMultilineThroughput();
void ResultsFileSaveLoad(const std::string& directory);
// Returns false when the news server cannot be reached. A non-empty caFile
// is passed with --cafile (a search over TLS).
bool CliSearch(const std::string& server, const std::string& group, const std::string& pattern,
               const std::string& directory, const std::string& caFile = "");
// The same search through a delaying proxy at each of `delays` (milliseconds
// each way): korvex-cli one command at a time, with its default window, and a
// bare pipelined client; without `withSingle` the one-at-a-time runs (minutes
// on a slow link) are left out. Returns false when a search failed.
bool NetworkSearch(int serverPort, const std::string& group, const std::string& pattern,
                   const std::vector<int>& delays, int window, bool withSingle);
// The big-group search on the engine's connection with and without COMPRESS
// DEFLATE, at loopback speed and over a 10 Mbit/s link: wall time and bytes
// on the wire each way. Returns false when a search failed.
bool CompressedSearch(int serverPort, const std::string& group, const std::string& word);
// korvex-cli's search of the group through a delaying proxy at each of
// `delays` (milliseconds each way), with and without --no-server-filter,
// deflated and plain: wall time and bytes on the wire each way. Returns false
// when a search failed.
bool ServerFilterSearch(int serverPort, const std::string& group, const std::string& pattern,
                        const std::vector<int>& delays);

// HEAD for every article of the group on 127.0.0.1:serverPort (directly at
// delay 0, else through the delaying proxy), with the window and one command
// at a time (the newest singleLimit articles only), counting the heads that
// carry `header`; then korvex-cli searching that header for `pattern`.
// Returns false when reading the heads failed.
bool HeadScan(int serverPort, const std::string& group, const std::string& header,
              const std::string& pattern, const std::vector<int>& delays, int window,
              long singleLimit);

// A whole-group header scan of a made-up group of 50,000 and of 5,000,000
// numbers served from inside the process, each in a child process (`self`
// run with --whole-scan-child): headers per second and peak RSS; then, when a
// server listens on 127.0.0.1:innPort, of `group` there with and without COMPRESS
// and with and without XPAT, through a proxy that counts the bytes. False when a scan failed or its
// peak RSS passed 32 MB.
bool WholeScan(const char* self, int innPort, const std::string& group, const std::string& pattern);
// The child: one scan of the made-up group of `numbers`, or (numbers 0) of
// `group` on 127.0.0.1:port; its exit status.
int WholeScanChild(long numbers, int port, const std::string& group, const std::string& pattern,
                   bool compress, bool serverFilter);

} // namespace kvBench
