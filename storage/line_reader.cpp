#include "line_reader.h"

#include "file_system.h"

#include <cstring>
#include <new>

namespace {
constexpr std::size_t kChunkSize = 65536;
}

kvLineReader::kvLineReader(const char* path) {
    chunk.reset(new (std::nothrow) char[kChunkSize]);
    line.reset(new (std::nothrow) char[kKeep + 1]);
    if (!chunk || !line) return;
    line[0] = '\0';
    fd = OpenForReading(path);
}

kvLineReader::~kvLineReader() {
    CloseFile(fd);
}

bool kvLineReader::Refill() {
    for (;;) {
        long n = ReadSome(fd, chunk.get(), kChunkSize);
        if (n < 0) error = true;
        if (n <= 0) return false;
        chunkStart = 0;
        chunkEnd = static_cast<std::size_t>(n);
        return true;
    }
}

void kvLineReader::Take(const char* bytes, std::size_t count) {
    if (count == 0) return;
    std::size_t room = kKeep - kept;
    std::memcpy(line.get() + kept, bytes, count < room ? count : room);
    kept += count < room ? count : room;
    total += count;
    lastWasCR = bytes[count - 1] == '\r';
}

int kvLineReader::Next() {
    if (fd < 0 || error) return -1;
    kept = 0;
    total = 0;
    lastWasCR = false;
    hadLF = false;
    bool readAny = false;
    for (;;) {
        if (chunkStart == chunkEnd && !Refill()) break;
        const char* start = chunk.get() + chunkStart;
        std::size_t available = chunkEnd - chunkStart;
        const char* lf = static_cast<const char*>(std::memchr(start, '\n', available));
        std::size_t count = lf != nullptr ? static_cast<std::size_t>(lf - start) : available;
        Take(start, count);
        readAny = true;
        if (lf != nullptr) {
            chunkStart += count + 1;
            hadLF = true;
            break;
        }
        chunkStart = chunkEnd;
    }
    if (error) return -1;
    if (!readAny) return 0;
    if (hadLF && lastWasCR) {
        --total;
        if (kept > total) kept = total;
    }
    line[kept] = '\0';
    return 1;
}
