#include "file_trust.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t kOthersWrite = S_IWGRP | S_IWOTH;

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool OwnedByUserOrRoot(const struct stat& info) {
    return info.st_uid == geteuid() || info.st_uid == 0;
}

// Someone other than this user or root may add or replace names in folder:
// its group or others may write it, or it belongs to another user.
bool OthersMayWriteIn(const std::string& folder) {
    struct stat info {};
    return stat(folder.c_str(), &info) != 0 || (info.st_mode & kOthersWrite) != 0 ||
           !OwnedByUserOrRoot(info);
}

} // namespace

kvFileTrust TrustOfOpenFile(int fd, const std::string& path) {
    struct stat file {};
    if (fstat(fd, &file) != 0 || !OwnedByUserOrRoot(file) || (file.st_mode & kOthersWrite) != 0)
        return kvFileTrust::OthersMayChange;
    // The folder that holds the file itself, past any links on the way.
    char real[PATH_MAX];
    std::string where = realpath(path.c_str(), real) != nullptr ? std::string(real) : path;
    return OthersMayWriteIn(FolderOf(where)) ? kvFileTrust::OthersMayChange : kvFileTrust::Trusted;
}

int OpenSettingsFile(const std::string& path) {
    int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
    if (OthersMayWriteIn(FolderOf(path))) flags |= O_NOFOLLOW;
    int fd = open(path.c_str(), flags);
    if (fd < 0) return -1;
    int now = fcntl(fd, F_GETFL);
    if (now != -1) fcntl(fd, F_SETFL, now & ~O_NONBLOCK);
    return fd;
}

bool IsLinkOthersMayAim(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
           OthersMayWriteIn(FolderOf(path));
}

std::FILE* OpenSettingsStream(const std::string& path, kvFileTrust& trust) {
    trust = kvFileTrust::OthersMayChange;
    int fd = OpenSettingsFile(path);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        errno = EINVAL;
        return nullptr;
    }
    trust = TrustOfOpenFile(fd, path);
    std::FILE* stream = fdopen(fd, "r");
    if (stream == nullptr) close(fd);
    return stream;
}
