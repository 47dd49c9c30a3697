#include "atomic_file_platform.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void (*removeOnInterrupt)() = nullptr;

extern "C" void RemoveTemporariesAndDie(int sig) {
    if (removeOnInterrupt != nullptr) removeOnInterrupt();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

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

// Whether the link at path `link` may be followed by this process: as the kernel
// rules for links in shared folders (fs.protected_symlinks), widened to every
// folder the group or others may write, sticky or not. Such a link is followed
// only when this user, or the folder's owner, owns it: anyone else could have
// planted it to aim a save at a file of ours.
bool MayFollowLink(const std::string& link, const struct stat& linkInfo) {
    std::size_t slash = link.rfind('/');
    std::string folder = slash == std::string::npos ? "." : link.substr(0, slash + 1);
    struct stat folderInfo {};
    if (stat(folder.c_str(), &folderInfo) != 0) return false;
    if ((folderInfo.st_mode & (S_IWGRP | S_IWOTH)) == 0) return true;
    return linkInfo.st_uid == geteuid() || linkInfo.st_uid == folderInfo.st_uid;
}

} // namespace

namespace kvAtomicPlatform {

std::size_t NameMax() {
    return NAME_MAX;
}

// Gives up after 40 links, as the kernel does, and then returns the last name
// reached: the save then fails there. A relative link counts from the link's
// own directory.
std::string WriteTarget(const std::string& start, std::string& refusedLink) {
    refusedLink.clear();
    std::string path = start;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        if (!MayFollowLink(path, info)) {
            refusedLink = path;
            return path;
        }
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

int CreateTemporary(std::string& pattern) {
    return mkostemp(&pattern[0], O_CLOEXEC);
}

long WriteSome(int fd, const char* bytes, std::size_t length) {
    for (;;) {
        ssize_t n = ::write(fd, bytes, length);
        if (n < 0 && errno == EINTR) continue;
        return static_cast<long>(n);
    }
}

bool ReplaceTarget(int fd, const std::string& temporary, const std::string& target,
                   bool privateFile) {
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
    bool done = fsync(fd) == 0 && fchmod(fd, mode) == 0;
    done = close(fd) == 0 && done;
    done = done && std::rename(temporary.c_str(), target.c_str()) == 0;
    if (!done) unlink(temporary.c_str());
    if (done) SyncDirectoryOf(target);
    return done;
}

void RemoveTemporary(int fd, const std::string& temporary) {
    close(fd);
    unlink(temporary.c_str());
}

void RemoveInHandler(const char* path) {
    unlink(path);
}

void RemoveOnInterrupt(void (*removeAll)()) {
    removeOnInterrupt = removeAll;
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

} // namespace kvAtomicPlatform
