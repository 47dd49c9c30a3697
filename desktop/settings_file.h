// The settings file "korvex.ini": window geometry of the main frame and the
// article windows, restored at start-up and written back by Quit.
//
// Used on the GUI thread only. Lines that are not settings are carried along:
// the file is read in entries of at most 126 characters (the line end
// included), at most 92 of them, and written back entry by entry, so every line
// read comes back in its place and a long line split over several entries
// joins up again.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct WindowRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

constexpr int KV_SETTINGS_KEYS = 8;    // MAIN_X .. MSG_H
constexpr int KV_SETTINGS_READ = 92;   // entries read from the file at most
constexpr int KV_SETTINGS_ENTRY = 128; // bytes per entry, NUL included
constexpr int KV_SETTINGS_SLOTS = 100; // entries read plus one per key

struct kvSettings {
    WindowRect mainRect{10, 10, 400, 175};
    WindowRect articleRect{1, 180, 600, 380};
    std::vector<std::string> lines; // every entry read, in file order
    int keyLine[KV_SETTINGS_KEYS] = {-1, -1, -1, -1, -1, -1, -1, -1}; // entry of each key
};

// Fills settings from the file at path (empty path or unreadable file: the
// defaults) and gives every key a line, appending empty entries for keys the
// file lacks.
void ReadSettingsFile(const std::string& path, kvSettings& settings);

// Rewrites each key's line from the current values and writes every entry
// back, replacing the file as a whole. False when the file could not be
// written (an existing file is then left as it was), or path is a link in a
// folder others may write (file_trust.h), which is never written through.
bool WriteSettingsFile(const std::string& path, kvSettings& settings);

// Whether a settings file whose temporary could not be made (errno openError)
// may be rewritten in place: only when the directory may not be written to.
bool MayRewriteInPlace(int openError);
