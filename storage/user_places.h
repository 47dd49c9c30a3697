// Where a user's own files live on this system: user_places_posix.cpp or
// user_places_windows.cpp, chosen by CMake. Read from the environment each time.
#pragma once

#include <string>

// The directory for the desktop program's files (settings) when they cannot
// sit beside it: $XDG_CONFIG_HOME/korvex or $HOME/.config/korvex on POSIX,
// %APPDATA%\Korvex on Windows. Empty when the environment names no place.
std::string UserConfigDirectory();

// The user's netrc file: $HOME/.netrc on POSIX; on Windows %USERPROFILE%\_netrc,
// or %USERPROFILE%\.netrc when only that one exists. Empty when the environment
// names no home directory.
std::string UserNetrcFile();
