#include "file_places.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// Joins a directory and a name; an empty directory gives no path at all.
std::string Join(const std::string& directory, const char* name) {
    return directory.empty() ? std::string() : directory + "/" + name;
}

constexpr int kPlaces = 4;

// The candidates in the order they are tried; an empty one is skipped.
void Candidates(const kvFilePlaces& places, const char* name, std::string (&out)[kPlaces]) {
    out[0] = Join(places.workingDir, name);
    out[1] = places.programDir.empty() ? std::string(name) : Join(places.programDir, name);
    out[2] = Join(places.configDir, name);
    out[3] = Join(places.dataDir, name);
}

// Creates an empty file unless one is there already; never truncates.
bool CreateEmpty(const std::string& path) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    close(fd);
    return true;
}

// mkdir -p: every missing directory along the path, with mode 0777 less the umask.
bool MakeDirectories(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string part = path.substr(0, slash);
        if (!part.empty() && mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string DirectoryOfExecutable() {
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return std::string();
    std::string exe(path, static_cast<std::size_t>(n));
    std::size_t slash = exe.rfind('/');
    if (slash == std::string::npos) return std::string();
    return slash == 0 ? std::string("/") : exe.substr(0, slash);
}

std::string ConfigDirectory() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] != '\0') return std::string(xdg) + "/korvex";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') return std::string(home) + "/.config/korvex";
    return std::string();
}

} // namespace

kvFilePlaces kvFilePlaces::OfThisProcess() {
    kvFilePlaces places;
    char cwd[1024];
    if (getcwd(cwd, sizeof cwd) != nullptr) places.workingDir = cwd;
    places.programDir = DirectoryOfExecutable();
    places.configDir = ConfigDirectory();
    places.dataDir = DataDirectoryBeside(places.programDir);
    return places;
}

bool kvFilePlaces::Installed() const {
    struct stat info;
    return !dataDir.empty() && stat(dataDir.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string DataDirectoryBeside(const std::string& programDir) {
    if (programDir.empty()) return std::string();
    // KORVEX_DATA_FROM_BIN: the install's data directory seen from its bin directory.
    std::filesystem::path data = std::filesystem::path(programDir) / KORVEX_DATA_FROM_BIN;
    std::string text = data.lexically_normal().string();
    if (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

std::string LocateFile(const kvFilePlaces& places, const char* name) {
    std::string candidates[kPlaces];
    Candidates(places, name, candidates);
    for (const std::string& path : candidates)
        if (!path.empty() && Exists(path)) return path;
    return std::string();
}

std::string LocateOrCreateFile(const kvFilePlaces& places, const char* name) {
    std::string found = LocateFile(places, name);
    if (!found.empty()) return found;
    std::string candidates[kPlaces];
    Candidates(places, name, candidates);
    if (!places.Installed() && CreateEmpty(candidates[1])) return candidates[1];
    // The program directory is often not writable, and an installed program
    // must not write under its prefix even when it could: the user's
    // configuration directory takes the file instead.
    if (!candidates[2].empty() && MakeDirectories(places.configDir) && CreateEmpty(candidates[2]))
        return candidates[2];
    return std::string();
}
