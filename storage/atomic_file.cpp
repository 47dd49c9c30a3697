#include "atomic_file.h"

#include "credentials.h"

#include <cerrno>
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

// The temporary file's name pattern: a hidden name beside the target.
std::string TemporaryPattern(const std::string& target) {
    std::size_t slash = target.rfind('/');
    std::string directory = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    return directory + "." + name + ".XXXXXX";
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

kvAtomicFile::kvAtomicFile(const char* path) : target(path) {
    buffer.reset(new (std::nothrow) char[kBufferSize]);
    if (!buffer || target.empty()) return;
    std::string pattern = TemporaryPattern(target);
    fd = mkostemp(&pattern[0], O_CLOEXEC);
    if (fd >= 0) temporary = pattern;
}

kvAtomicFile::~kvAtomicFile() {
    Discard();
    if (privateFile && buffer) WipeBytes(buffer.get(), kBufferSize);
}

void kvAtomicFile::Discard() {
    if (fd < 0) return;
    close(fd);
    unlink(temporary.c_str());
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
    mode_t mode = privateFile ? 0600 : 0666 & ~CurrentUmask();
    if (!Flush() || fsync(fd) != 0 || fchmod(fd, mode) != 0) {
        Discard();
        return false;
    }
    int closing = fd;
    fd = -1;
    if (close(closing) != 0 || std::rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    SyncDirectoryOf(target);
    return true;
}
