#include "user_places.h"

#include "file_system.h"

std::string UserConfigDirectory() {
    std::string xdg = Environment("XDG_CONFIG_HOME");
    if (!xdg.empty()) return xdg + "/korvex";
    std::string home = Environment("HOME");
    if (!home.empty()) return home + "/.config/korvex";
    return std::string();
}

std::string UserNetrcFile() {
    std::string home = Environment("HOME");
    if (home.empty()) return std::string();
    if (home.back() != '/') home += '/';
    return home + ".netrc";
}
