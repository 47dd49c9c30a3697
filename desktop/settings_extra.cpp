#include "settings_extra.h"

#include "ui_state.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr std::size_t kLongestRecentPath = 480; // a few entries of the settings file

// A line as the file holds it: the entries from `first` up to the one ending
// with a line end.
struct LogicalLine {
    int first;
    int last;
    std::string text; // without the line end
};

std::vector<LogicalLine> LogicalLines(const kvSettings& settings) {
    std::vector<LogicalLine> lines;
    bool open = false;
    for (int i = 0; i < static_cast<int>(settings.lines.size()); ++i) {
        const std::string& entry = settings.lines[i];
        if (entry.empty()) continue;
        if (!open) lines.push_back({i, i, std::string()});
        LogicalLine& line = lines.back();
        line.last = i;
        line.text += entry;
        open = entry.back() != '\n';
    }
    for (LogicalLine& line : lines) {
        while (!line.text.empty() && (line.text.back() == '\n' || line.text.back() == '\r'))
            line.text.pop_back();
    }
    return lines;
}

bool HasKey(const std::string& text, const std::string& key) {
    return text.size() > key.size() && text.compare(0, key.size(), key) == 0 &&
           text[key.size()] == '=';
}

// Entries that belong to one of the window geometry keys (never reused).
bool IsGeometryEntry(const kvSettings& settings, int index) {
    return std::find(std::begin(settings.keyLine), std::end(settings.keyLine), index) !=
           std::end(settings.keyLine);
}

} // namespace

bool ReadExtraSetting(const kvSettings& settings, const std::string& key, std::string& value) {
    for (const LogicalLine& line : LogicalLines(settings)) {
        if (IsGeometryEntry(settings, line.first) || !HasKey(line.text, key)) continue;
        value = line.text.substr(key.size() + 1);
        return true;
    }
    return false;
}

void WriteExtraSetting(kvSettings& settings, const std::string& key, const std::string& value) {
    int slot = -1;
    for (const LogicalLine& line : LogicalLines(settings)) {
        if (IsGeometryEntry(settings, line.first) || !HasKey(line.text, key)) continue;
        for (int i = line.first; i <= line.last; ++i)
            settings.lines[i].clear();
        if (slot < 0) slot = line.first;
    }
    if (value.empty()) return;
    std::string text = key + "=" + value + "\n";
    if (slot >= 0) {
        settings.lines[slot] = text;
    } else {
        settings.lines.push_back(text);
    }
}

std::vector<std::string> ReadRecentFiles(const kvSettings& settings) {
    std::vector<std::string> paths;
    for (int i = 1; i <= KV_RECENT_FILES; ++i) {
        std::string path;
        if (ReadExtraSetting(settings, "RECENT" + std::to_string(i), path) && !path.empty() &&
            std::find(paths.begin(), paths.end(), path) == paths.end())
            paths.push_back(path);
    }
    return paths;
}

void WriteRecentFiles(kvSettings& settings, const std::vector<std::string>& paths) {
    for (int i = 0; i < KV_RECENT_FILES; ++i) {
        std::string path = i < static_cast<int>(paths.size()) ? paths[i] : std::string();
        WriteExtraSetting(settings, "RECENT" + std::to_string(i + 1), path);
    }
}

std::vector<std::string> WithRecentFile(std::vector<std::string> paths, const std::string& path) {
    paths.erase(std::remove(paths.begin(), paths.end(), path), paths.end());
    bool storable = !path.empty() && path.size() <= kLongestRecentPath &&
                    path.find_first_of("\r\n") == std::string::npos;
    if (storable) paths.insert(paths.begin(), path);
    if (paths.size() > KV_RECENT_FILES) paths.resize(KV_RECENT_FILES);
    return paths;
}

int ReadNumberSetting(const kvSettings& settings, const std::string& key, int fallback, int low,
                      int high) {
    std::string text;
    if (!ReadExtraSetting(settings, key, text) || text.empty()) return fallback;
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || value < low || value > high) return fallback;
    return static_cast<int>(value);
}
