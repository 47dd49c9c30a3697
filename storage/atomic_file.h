// Writing one output file so that it is either written whole or not at all.
//
// Every file the program writes goes through kvAtomicFile: the bytes go to a
// temporary file next to the target, and only Commit() puts that file in the
// target's place, after flushing and syncing it. A failed write (disk full, an
// I/O error) or a missing Commit() leaves an existing target exactly as it was
// and removes the temporary file. Used on whichever thread runs the save; one
// object per file, owned by that caller.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

class kvAtomicFile {
  public:
    // Creates the temporary file in the target's directory; IsOpen() tells
    // whether that worked.
    explicit kvAtomicFile(const char* path);
    ~kvAtomicFile(); // without a successful Commit(): closes and removes the temporary file
    kvAtomicFile(const kvAtomicFile&) = delete;
    kvAtomicFile& operator=(const kvAtomicFile&) = delete;

    bool IsOpen() const { return fd >= 0; }
    // The file holds secrets: it gets mode 0600 whatever the umask, and the
    // write buffer is wiped when the object goes away.
    void MakePrivate() { privateFile = true; }
    // False once any write has failed (or the file never opened); every later
    // write is then ignored.
    bool Ok() const { return fd >= 0 && !failed; }

    bool Write(const char* bytes, std::size_t length);
    bool Write(const char* text); // up to its NUL
    bool Write(const std::string& text) { return Write(text.data(), text.size()); }

    // Flushes, syncs and closes the temporary file, gives it mode 0666 less the
    // umask (0600 when private) and renames it over the target. False when anything failed, this
    // step included; the target is then unchanged.
    bool Commit();

  private:
    bool Flush();
    void Discard();

    std::string target;
    std::string temporary;
    int fd = -1;
    bool failed = false;
    bool privateFile = false;
    std::unique_ptr<char[]> buffer;
    std::size_t buffered = 0;
};
