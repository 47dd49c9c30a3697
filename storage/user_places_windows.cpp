#include "user_places.h"

#include "file_system.h"

namespace {

std::string Joined(std::string directory, const char* name) {
    if (!IsPathSeparator(directory.back())) directory += '\\';
    return directory + name;
}

} // namespace

// The roaming application data directory: the Windows directory is not
// writable for users, and a program's own directory under Program Files is not
// either.
std::string UserConfigDirectory() {
    std::string appData = Environment("APPDATA");
    return appData.empty() ? std::string() : Joined(appData, "Korvex");
}

std::string UserNetrcFile() {
    std::string profile = Environment("USERPROFILE");
    if (profile.empty()) return std::string();
    std::string underscore = Joined(profile, "_netrc");
    std::string dot = Joined(profile, ".netrc");
    if (KindOf(underscore) == kvFileKind::Missing && KindOf(dot) != kvFileKind::Missing) return dot;
    return underscore;
}
