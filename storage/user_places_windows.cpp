#include "user_places.h"

#include "file_system.h"

namespace {

std::string Joined(std::string directory, const char* name) {
    if (!kvIsPathSeparator(directory.back())) directory += '\\';
    return directory + name;
}

} // namespace

// The roaming application data directory: the Windows directory is not
// writable for users, and a program's own directory under Program Files is not
// either.
std::string kvUserConfigDirectory() {
    std::string appData = kvEnvironment("APPDATA");
    return appData.empty() ? std::string() : Joined(appData, "Korvex");
}

std::string kvUserNetrcFile() {
    std::string profile = kvEnvironment("USERPROFILE");
    if (profile.empty()) return std::string();
    std::string underscore = Joined(profile, "_netrc");
    std::string dot = Joined(profile, ".netrc");
    if (kvKindOf(underscore) == kvFileKind::Missing && kvKindOf(dot) != kvFileKind::Missing)
        return dot;
    return underscore;
}
