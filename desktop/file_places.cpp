#include "file_places.h"

#include "file_system.h"
#include "user_places.h"

#include <filesystem>

namespace {

bool Exists(const std::string& path) {
    return KindOf(path) != kvFileKind::Missing;
}

// Joins a directory and a name; an empty directory gives no path at all.
std::string Join(const std::string& directory, const char* name) {
    return directory.empty() ? std::string() : directory + PathSeparator() + name;
}

constexpr int kPlaces = 4;

// The candidates in the order they are tried; an empty one is skipped.
void Candidates(const kvFilePlaces& places, const char* name, std::string (&out)[kPlaces]) {
    out[0] = Join(places.workingDir, name);
    out[1] = places.programDir.empty() ? std::string(name) : Join(places.programDir, name);
    out[2] = Join(places.configDir, name);
    out[3] = Join(places.dataDir, name);
}

// mkdir -p: every missing directory along the path. A step that cannot be made
// (a drive or a share name) is passed over; the whole path decides.
bool MakeDirectories(const std::string& path) {
    for (std::size_t at = 1; at <= path.size(); ++at) {
        if (at < path.size() && !IsPathSeparator(path[at])) continue;
        std::string part = path.substr(0, at);
        if (KindOf(part) != kvFileKind::Directory) MakeDirectory(part);
    }
    return KindOf(path) == kvFileKind::Directory;
}

std::string DirectoryOfExecutable() {
    std::string exe = ExecutablePath();
    std::size_t slash = LastSeparator(exe);
    if (slash == std::string::npos) return std::string();
    return slash == 0 ? exe.substr(0, 1) : exe.substr(0, slash);
}

} // namespace

kvFilePlaces kvFilePlaces::OfThisProcess() {
    kvFilePlaces places;
    places.workingDir = WorkingDirectory();
    places.programDir = DirectoryOfExecutable();
    places.configDir = UserConfigDirectory();
    places.dataDir = DataDirectoryBeside(places.programDir);
    return places;
}

bool kvFilePlaces::Installed() const {
    return !dataDir.empty() && KindOf(dataDir) == kvFileKind::Directory;
}

std::string DataDirectoryBeside(const std::string& programDir) {
    if (programDir.empty()) return std::string();
    // KORVEX_DATA_FROM_BIN: the install's data directory seen from its bin directory.
    std::filesystem::path data = std::filesystem::u8path(programDir) / KORVEX_DATA_FROM_BIN;
    std::string text = data.lexically_normal().u8string();
    if (text.size() > 1 && IsPathSeparator(text.back())) text.pop_back();
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
    if (!places.Installed() && CreateEmptyFile(candidates[1])) return candidates[1];
    // The program directory is often not writable, and an installed program
    // must not write under its prefix even when it could: the user's
    // configuration directory takes the file instead.
    if (!candidates[2].empty() && MakeDirectories(places.configDir) &&
        CreateEmptyFile(candidates[2]))
        return candidates[2];
    return std::string();
}
