// Shared pieces of the benchmarks: a monotonic timer, a sink that keeps the
// optimizer from dropping work, and the benchmark entry points.
#pragma once

#include <chrono>
#include <string>

namespace bench {

inline double Seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

extern volatile long long sink;

void MatchHeaders();
void ReceiveMultilineThroughput();
void ResultsFileSaveLoad(const std::string& directory);
// Returns false when the news server cannot be reached. A non-empty caFile
// is passed with --cafile (a search over TLS).
bool CliSearch(const std::string& server, const std::string& group, const std::string& pattern,
               const std::string& directory, const std::string& caFile = "");

} // namespace bench
