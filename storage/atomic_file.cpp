#include "atomic_file.h"

#include "credentials.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kBufferSize = 65536;

// The process's umask. Linux reports it in /proc/self/status, which reads it
// without changing it; elsewhere it has to be set and put back.
mode_t CurrentUmask() {
    if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status) != nullptr) {
            if (std::strncmp(line, "Umask:", 6) != 0) continue;
            std::fclose(status);
            return static_cast<mode_t>(std::strtoul(line + 6, nullptr, 8) & 0777);
        }
        std::fclose(status);
    }
    mode_t mask = umask(022);
    umask(mask);
    return mask;
}

// Longest file name (one path component) a directory takes.
constexpr std::size_t kNameMax = NAME_MAX;

// The file a write to path really lands in: symbolic links are followed (a
// relative link from the link's own directory) until a name that is not a
// link, which may not exist yet. Gives up after 40 links, as the kernel does,
// and then returns the last name reached: the save then fails there.
std::string FollowLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::string link(static_cast<std::size_t>(info.st_size) + 1 > PATH_MAX
                             ? PATH_MAX
                             : static_cast<std::size_t>(info.st_size) + 1,
                         '\0');
        ssize_t n = readlink(path.c_str(), &link[0], link.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= link.size()) return path;
        link.resize(static_cast<std::size_t>(n));
        std::size_t slash = path.rfind('/');
        if (link[0] == '/' || slash == std::string::npos)
            path = link;
        else
            path = path.substr(0, slash + 1) + link;
    }
    return path;
}

// Where a UTF-8 text may be cut at or before length without splitting a character.
std::size_t CharacterBoundary(const std::string& text, std::size_t length) {
    while (length > 0 && length < text.size() &&
           (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
        --length;
    return length;
}

// The temporary file's name pattern: a hidden name beside the target, the
// target's name shortened so the whole name stays within kNameMax.
std::string TemporaryPattern(const std::string& target) {
    std::size_t slash = target.rfind('/');
    std::string directory = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    const std::size_t extra = std::strlen(".") + std::strlen(".XXXXXX");
    if (name.size() + extra > kNameMax) name.resize(CharacterBoundary(name, kNameMax - extra));
    return directory + "." + name + ".XXXXXX";
}

// Temporary files still open, so that a signal handler can remove them. A
// thread claims a free slot, writes the path, then marks it ready; the handler
// only reads ready slots.
constexpr int kSlots = 16;
char slotPaths[kSlots][PATH_MAX];
std::atomic<bool> slotClaimed[kSlots];
std::atomic<bool> slotReady[kSlots];

int Remember(const std::string& temporary) {
    if (temporary.size() >= PATH_MAX) return -1;
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

extern "C" void RemoveTemporariesAndDie(int sig) {
    kvRemoveOpenTemporaries();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

// Makes the rename durable; a directory that cannot be synced changes nothing
// about the file already in place, so failures here are not reported.
void SyncDirectoryOf(const std::string& target) {
    std::size_t slash = target.rfind('/');
    std::string directory = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    int dirFd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return;
    fsync(dirFd);
    close(dirFd);
}

} // namespace

void kvRemoveOpenTemporaries() {
    for (int i = 0; i < kSlots; ++i)
        if (slotReady[i].load()) unlink(slotPaths[i]);
}

void kvRemoveTemporariesOnSignals() {
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesAndDie;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old {};
        // A signal the caller's parent set to be ignored stays ignored.
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        sigaction(sig, &action, nullptr);
    }
}

kvAtomicFile::kvAtomicFile(const char* path) : target(path) {
    buffer.reset(new (std::nothrow) char[kBufferSize]);
    if (!buffer || target.empty()) {
        openError = buffer ? ENOENT : ENOMEM;
        return;
    }
    target = FollowLinks(target);
    std::string pattern = TemporaryPattern(target);
    fd = mkostemp(&pattern[0], O_CLOEXEC);
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
    close(fd);
    unlink(temporary.c_str());
    Forget(slot);
    slot = -1;
    fd = -1;
}

bool kvAtomicFile::Flush() {
    std::size_t done = 0;
    while (done < buffered) {
        ssize_t n = ::write(fd, buffer.get() + done, buffered - done);
        if (n < 0 && errno == EINTR) continue;
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
    // A file that exists keeps its mode, and its owner where that may be given
    // away (as root); its group when the user belongs to it. A new file gets
    // 0666 less the umask. A private file is 0600 whatever it was.
    mode_t mode = 0666 & ~CurrentUmask();
    struct stat old {};
    if (stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        // Best effort: a file whose owner or group cannot be given stays ours.
        uid_t owner = geteuid() == 0 ? old.st_uid : static_cast<uid_t>(-1);
        if (fchown(fd, owner, old.st_gid) != 0) errno = 0;
        mode = old.st_mode & 07777;
    }
    if (privateFile) mode = 0600;
    if (!Flush() || fsync(fd) != 0 || fchmod(fd, mode) != 0) {
        Discard();
        return false;
    }
    int closing = fd;
    fd = -1;
    bool done = close(closing) == 0 && std::rename(temporary.c_str(), target.c_str()) == 0;
    if (!done) unlink(temporary.c_str());
    Forget(slot);
    slot = -1;
    if (done) SyncDirectoryOf(target);
    return done;
}
