#include "user_places.h"

#include "file_system.h"

std::string kvUserConfigDirectory() {
    std::string xdg = kvEnvironment("XDG_CONFIG_HOME");
    if (!xdg.empty()) return xdg + "/korvex";
    std::string home = kvEnvironment("HOME");
    if (!home.empty()) return home + "/.config/korvex";
    return std::string();
}

std::string kvUserNetrcFile() {
    std::string home = kvEnvironment("HOME");
    if (home.empty()) return std::string();
    if (home.back() != '/') home += '/';
    return home + ".netrc";
}
