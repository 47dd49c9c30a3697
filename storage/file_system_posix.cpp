#include "file_system.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int OpenForReading(const std::string& path) {
    return open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

long ReadSome(int fd, char* buffer, std::size_t size) {
    for (;;) {
        ssize_t n = read(fd, buffer, size);
        if (n < 0 && errno == EINTR) continue;
        return static_cast<long>(n);
    }
}

void CloseFile(int fd) {
    if (fd >= 0) close(fd);
}

std::FILE* OpenStream(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

static kvFileKind KindOf(const struct stat& info) {
    if (S_ISREG(info.st_mode)) return kvFileKind::Regular;
    if (S_ISDIR(info.st_mode)) return kvFileKind::Directory;
    return kvFileKind::Other;
}

kvFileKind KindOf(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? KindOf(info) : kvFileKind::Missing;
}

kvFileKind KindOfOpen(int fd) {
    struct stat info {};
    return fstat(fd, &info) == 0 ? KindOf(info) : kvFileKind::Missing;
}

bool OthersMayRead(int fd) {
    struct stat info {};
    return fstat(fd, &info) != 0 || (info.st_mode & 077) != 0;
}

bool CreateEmptyFile(const std::string& path) {
    // O_EXCL: a link already there (even one leading nowhere) is never
    // followed to create a file wherever it points.
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return errno == EEXIST;
    close(fd);
    return true;
}

bool MakeDirectory(const std::string& path) {
    if (mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) return false;
    return KindOf(path) == kvFileKind::Directory;
}

bool RemoveFile(const std::string& path) {
    return unlink(path.c_str()) == 0;
}

char PathSeparator() {
    return '/';
}

bool IsPathSeparator(char c) {
    return c == '/';
}

std::size_t LastSeparator(const std::string& path) {
    return path.rfind('/');
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string WorkingDirectory() {
    char cwd[1024];
    return getcwd(cwd, sizeof cwd) != nullptr ? std::string(cwd) : std::string();
}

std::string ExecutablePath() {
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}
