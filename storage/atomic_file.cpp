#include "atomic_file.h"

#include "credentials.h"

#include "atomic_file_platform.h"
#include "file_system.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>

namespace {

constexpr std::size_t kBufferSize = 65536;
// Longest temporary path remembered for removal at an interrupt.
constexpr std::size_t kPathMax = 4096;

// Where a UTF-8 text may be cut at or before length without splitting a character.
std::size_t CharacterBoundary(const std::string& text, std::size_t length) {
    while (length > 0 && length < text.size() &&
           (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
        --length;
    return length;
}

// The temporary file's name pattern: a hidden name beside the target, the
// target's name shortened so the whole name stays within the longest name
// the directory takes.
std::string TemporaryPattern(const std::string& target) {
    std::size_t slash = LastSeparator(target);
    std::string directory = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    const std::size_t extra = std::strlen(".") + std::strlen(".XXXXXX");
    const std::size_t nameMax = kvAtomicPlatform::NameMax();
    if (name.size() + extra > nameMax) name.resize(CharacterBoundary(name, nameMax - extra));
    return directory + "." + name + ".XXXXXX";
}

// Temporary files still open, so that a signal handler can remove them. A
// thread claims a free slot, writes the path, then marks it ready; the handler
// only reads ready slots.
constexpr int kSlots = 16;
char slotPaths[kSlots][kPathMax];
std::atomic<bool> slotClaimed[kSlots];
std::atomic<bool> slotReady[kSlots];

int Remember(const std::string& temporary) {
    if (temporary.size() >= kPathMax) return -1;
    for (int i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (!slotClaimed[i].compare_exchange_strong(expected, true)) continue;
        std::memcpy(slotPaths[i], temporary.c_str(), temporary.size() + 1);
        slotReady[i].store(true);
        return i;
    }
    return -1;
}

void Forget(int slot) {
    if (slot < 0) return;
    slotReady[slot].store(false);
    slotClaimed[slot].store(false);
}

// What the last kvAtomicFile made on this thread could not open for.
thread_local std::string lastProblem;

} // namespace

std::string TakeSaveProblem() {
    std::string problem;
    problem.swap(lastProblem);
    return problem;
}

void RemoveOpenTemporaries() {
    for (int i = 0; i < kSlots; ++i)
        if (slotReady[i].load()) kvAtomicPlatform::RemoveInHandler(slotPaths[i]);
}

void RemoveTemporariesOnSignals() {
    kvAtomicPlatform::RemoveOnInterrupt(RemoveOpenTemporaries);
}

kvAtomicFile::kvAtomicFile(const char* path) : target(path) {
    lastProblem.clear();
    buffer.reset(new (std::nothrow) char[kBufferSize]);
    if (!buffer || target.empty()) {
        openError = buffer ? ENOENT : ENOMEM;
        return;
    }
    std::string refusedLink;
    target = kvAtomicPlatform::WriteTarget(target, refusedLink);
    if (!refusedLink.empty()) {
        openError = ELOOP;
        problem = refusedLink +
                  " is a link in a folder other users may write, and it is not yours: not followed";
        lastProblem = problem;
        return;
    }
    std::string pattern = TemporaryPattern(target);
    fd = kvAtomicPlatform::CreateTemporary(pattern);
    if (fd < 0) {
        openError = errno;
        return;
    }
    temporary = pattern;
    slot = Remember(temporary);
}

kvAtomicFile::~kvAtomicFile() {
    Discard();
    if (privateFile && buffer) WipeBytes(buffer.get(), kBufferSize);
}

void kvAtomicFile::Discard() {
    if (fd < 0) return;
    kvAtomicPlatform::RemoveTemporary(fd, temporary);
    Forget(slot);
    slot = -1;
    fd = -1;
}

bool kvAtomicFile::Flush() {
    std::size_t done = 0;
    while (done < buffered) {
        long n = kvAtomicPlatform::WriteSome(fd, buffer.get() + done, buffered - done);
        if (n <= 0) {
            failed = true;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    buffered = 0;
    return true;
}

bool kvAtomicFile::Write(const char* bytes, std::size_t length) {
    if (!Ok()) return false;
    while (length > 0) {
        if (buffered == kBufferSize && !Flush()) return false;
        std::size_t take = kBufferSize - buffered;
        if (take > length) take = length;
        std::memcpy(buffer.get() + buffered, bytes, take);
        buffered += take;
        bytes += take;
        length -= take;
    }
    return true;
}

bool kvAtomicFile::Write(const char* text) {
    return Write(text, std::strlen(text));
}

bool kvAtomicFile::Commit() {
    if (!Ok()) {
        Discard();
        return false;
    }
    if (!Flush()) {
        Discard();
        return false;
    }
    int closing = fd;
    fd = -1;
    bool done = kvAtomicPlatform::ReplaceTarget(closing, temporary, target, privateFile);
    Forget(slot);
    slot = -1;
    return done;
}
