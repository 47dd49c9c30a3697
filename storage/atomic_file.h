// Writing one output file so that it is either written whole or not at all.
//
// Every file the program writes goes through kvAtomicFile: the bytes go to a
// temporary file next to the target, and only Commit() puts that file in the
// target's place, after flushing and syncing it. A target that is a symbolic
// link is written through: the file the link leads to is replaced, the link
// stays. On POSIX a link in a folder the group or others may write is followed
// only when this user or the folder's owner owns it; any other such link
// fails the open (OpenError() ELOOP, Problem() names the link). A failed write (disk full, an
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
    // The file holds secrets: it gets mode 0600 whatever the umask (on
    // Windows, which has no modes, the permissions its directory passes on),
    // and the write buffer is wiped when the object goes away.
    void MakePrivate() { privateFile = true; }
    // Why the temporary file could not be made (an errno value); 0 when it was.
    int OpenError() const { return openError; }
    // Why the file could not be opened, as a sentence naming the file, when
    // the reason is not an errno's (a refused link); empty otherwise.
    const std::string& Problem() const { return problem; }
    // False once any write has failed (or the file never opened); every later
    // write is then ignored.
    bool Ok() const { return fd >= 0 && !failed; }

    bool Write(const char* bytes, std::size_t length);
    bool Write(const char* text); // up to its NUL
    bool Write(const std::string& text) { return Write(text.data(), text.size()); }

    // Flushes, syncs and closes the temporary file, gives it the mode of the
    // file it replaces (0666 less the umask for a new file, 0600 when private)
    // and renames it over the target (on Windows: MoveFileExW, write-through,
    // tried again for half a second while another program holds the target). False when anything
    // failed, this step included; the target is then unchanged.
    bool Commit();

  private:
    bool Flush();
    void Discard();

    std::string target;
    std::string temporary;
    std::string problem;
    int fd = -1;
    int openError = 0;
    int slot = -1; // where the temporary's name is kept for RemoveOpenTemporaries
    bool failed = false;
    bool privateFile = false;
    std::unique_ptr<char[]> buffer;
    std::size_t buffered = 0;
};

// Problem() of the last kvAtomicFile made on this thread, once: for callers
// that report a save's failure without holding the file object. Empty when
// that file opened, failed for an errno's reason, or was already asked about.
std::string TakeSaveProblem();

// Removes every temporary file of a kvAtomicFile still open in this process.
// Async-signal-safe: meant for a signal handler that is about to end the process.
void RemoveOpenTemporaries();

// Makes SIGINT, SIGTERM and SIGHUP (those not ignored) remove the open
// temporary files before the process dies of the signal as it would have; on
// Windows, Ctrl-C, Ctrl-Break and the console's closing do the same.
void RemoveTemporariesOnSignals();
