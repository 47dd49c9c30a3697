// The results file. Input: one byte N, then the file's bytes. Loading any file
// either fails (-1, nothing left in the set) or gives n records, 0 to 1024,
// chained in slot order with every field and body terminated inside its
// buffer. What was loaded saves, loads back to the same count and saves again
// byte for byte as the first save. With N > 0, the N-th allocation the load
// asks for (every record and buffer comes from new(std::nothrow)) fails: the
// load must then fail or succeed whole, never leave records behind
// (LeakSanitizer reports any it drops).
#include "fuzz_check.h"
#include "result_set_check.h"

#include "records.h"
#include "results_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <unistd.h>

namespace {

long gAllocationsLeft = -1; // < 0: every allocation succeeds

bool FailThisAllocation() {
    if (gAllocationsLeft < 0) return false;
    return gAllocationsLeft-- == 0;
}

std::string Directory() {
    static std::string dir;
    if (dir.empty()) {
        // Memory-backed when there is such a place: saves flush to disk.
        std::string place = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string name = place + "/korvex-fuzz-results-XXXXXX";
        FUZZ_CHECK(mkdtemp(&name[0]) != nullptr);
        dir = name;
        std::atexit([] {
            for (const char* f : {"/in.kvx", "/a.kvx", "/b.kvx"})
                std::remove((dir + f).c_str());
            rmdir(dir.c_str());
        });
    }
    return dir;
}

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(f != nullptr);
    FUZZ_CHECK(std::fwrite(data, 1, size, f) == size);
    FUZZ_CHECK(std::fclose(f) == 0);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

template <std::size_t N> void CheckTerminated(const char (&field)[N]) {
    FUZZ_CHECK(strnlen(field, N) < N);
}

void CheckSet(const kvSearchSummary& summary, const kvResultSet& set, int n) {
    FUZZ_CHECK(n >= -1 && n <= KV_MAX_ARTICLES);
    CheckTerminated(summary.pattern);
    CheckTerminated(summary.header);
    CheckTerminated(summary.server);
    CheckTerminated(summary.newsgroup);
    CheckTerminated(summary.searchDate);
    CheckTerminated(summary.groupCount);
    CheckTerminated(summary.foundCount);
    int filled = n < 0 ? 0 : n;
    CheckResultSlots(set, filled);
    for (int i = 0; i < filled; ++i)
        if (set.At(i).body) FUZZ_CHECK(std::strlen(set.At(i).body.get()) < 70000);
}

} // namespace

// Every nothrow allocation goes through here, so one of them can be made to fail.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (FailThisAllocation()) return nullptr;
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (FailThisAllocation()) return nullptr;
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string dir = Directory();
    const std::string in = dir + "/in.kvx", a = dir + "/a.kvx", b = dir + "/b.kvx";
    WriteFile(in, data + 1, size - 1);

    kvSearchSummary summary;
    kvResultSet set;
    gAllocationsLeft = data[0] == 0 ? -1 : data[0] - 1;
    int n = LoadResultsFile(in.c_str(), summary, set);
    bool injected = gAllocationsLeft < -1 || (data[0] != 0 && gAllocationsLeft == -1);
    gAllocationsLeft = -1;
    CheckSet(summary, set, n);
    if (injected) FUZZ_CHECK(n == -1); // a failed allocation fails the load
    if (n < 0) return 0;

    FUZZ_CHECK(SaveResultsFile(a.c_str(), summary, set));
    kvSearchSummary again;
    kvResultSet setAgain;
    int m = LoadResultsFile(a.c_str(), again, setAgain);
    CheckSet(again, setAgain, m);
    FUZZ_CHECK(m == n);
    FUZZ_CHECK(SaveResultsFile(b.c_str(), again, setAgain));
    FUZZ_CHECK(ReadFile(a) == ReadFile(b));
    return 0;
}
