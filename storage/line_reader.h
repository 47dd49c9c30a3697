// Reading a file line by line for the results-file loader.
//
// Lines may be of any length and end in LF or CR LF (one CR right before the
// LF is removed); the last line may lack its line end. NUL bytes are kept, so
// a line that begins with 0x00 can be told from an empty one. Of each line the
// first kKeep bytes are kept; the rest is read and dropped, and FullLength()
// still tells the line's whole length. The reader opens the file itself and
// closes it when it goes; one reader serves one load on one thread.
#pragma once

#include <cstddef>
#include <memory>

class kvLineReader {
  public:
    static constexpr std::size_t kKeep = 65536;

    explicit kvLineReader(const char* path); // IsOpen() tells whether it worked
    ~kvLineReader();
    kvLineReader(const kvLineReader&) = delete;
    kvLineReader& operator=(const kvLineReader&) = delete;

    bool IsOpen() const { return fd >= 0; }

    // 1: a line was read; 0: the end of the file, nothing read; -1: read error.
    int Next();

    const char* Text() const { return line.get(); }  // the kept bytes, NUL-terminated
    std::size_t Length() const { return kept; }      // bytes kept, at most kKeep
    std::size_t FullLength() const { return total; } // the whole line without its line end
    bool EndedWithLf() const { return hadLF; }

  private:
    bool Refill(); // false at the end of the file or on an error (then `error` is set)
    void Take(const char* bytes, std::size_t count);

    int fd = -1;
    std::unique_ptr<char[]> chunk;
    std::unique_ptr<char[]> line;
    std::size_t chunkStart = 0;
    std::size_t chunkEnd = 0;
    std::size_t kept = 0;
    std::size_t total = 0;
    bool lastWasCR = false;
    bool hadLF = false;
    bool error = false;
};
