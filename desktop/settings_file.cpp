#include "settings_file.h"

#include "atomic_file.h"
#include "file_system.h"
#include "file_trust.h"
#include "records.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

struct kvSettingKey {
    const char* key;    // compared over its own length at the start of a line
    const char* format; // the line written at Quit
    int defaultValue;
    int low;
    int high;
};

// In table order: the order of keyLine and of keys appended to the file.
const kvSettingKey kKeys[KV_SETTINGS_KEYS] = {
    {"MAIN_X=", "MAIN_X=%d\n", 10, 0, 1000},   {"MAIN_Y=", "MAIN_Y=%d\n", 10, 0, 1000},
    {"MAIN_W=", "MAIN_W=%d\n", 400, 50, 1000}, {"MAIN_H=", "MAIN_H=%d\n", 175, 50, 1000},
    {"MSG_X=", "MSG_X=%d\n", 1, 0, 1000},      {"MSG_Y=", "MSG_Y=%d\n", 180, 0, 1000},
    {"MSG_W=", "MSG_W=%d\n", 600, 50, 1000},   {"MSG_H=", "MSG_H=%d\n", 380, 50, 1000},
};

int32_t& ValueOf(kvSettings& settings, int key) {
    WindowRect& rect = key < 4 ? settings.mainRect : settings.articleRect;
    switch (key % 4) {
    case 0:
        return rect.x;
    case 1:
        return rect.y;
    case 2:
        return rect.width;
    default:
        return rect.height;
    }
}

} // namespace

bool MayRewriteInPlace(int openError) {
    return openError == EACCES || openError == EPERM;
}

void ReadSettingsFile(const std::string& path, kvSettings& settings) {
    settings.lines.clear();
    for (int& line : settings.keyLine)
        line = -1;

    if (!path.empty()) {
        // Window places only: nothing here needs trust, but a link planted in
        // a folder others may write is not followed.
        kvFileTrust trust = kvFileTrust::Trusted;
        if (std::FILE* file = OpenSettingsStream(path, trust)) {
            // An entry takes at most 126 bytes, so a longer line arrives in
            // several entries that are written back one after another. Bytes
            // are kept as they are, NUL included, so the line end after a NUL
            // is not lost.
            std::string entry;
            int c = 0;
            while (settings.lines.size() < KV_SETTINGS_READ && (c = std::getc(file)) != EOF) {
                entry += static_cast<char>(c);
                if (c == '\n' || entry.size() == KV_SETTINGS_ENTRY - 2) {
                    settings.lines.push_back(entry);
                    entry.clear();
                }
            }
            if (!entry.empty() && settings.lines.size() < KV_SETTINGS_READ)
                settings.lines.push_back(entry);
            std::fclose(file);
            // Whatever follows the last entry read starts a line of its own.
            if (!settings.lines.empty() && settings.lines.back().back() != '\n')
                settings.lines.back() += '\n';
        }
    }

    for (int key = 0; key < KV_SETTINGS_KEYS; ++key)
        ValueOf(settings, key) = kKeys[key].defaultValue;

    for (int i = 0; i < static_cast<int>(settings.lines.size()); ++i) {
        const char* line = settings.lines[i].c_str();
        for (int key = 0; key < KV_SETTINGS_KEYS; ++key) {
            const kvSettingKey& k = kKeys[key];
            std::size_t length = std::strlen(k.key);
            if (std::strncmp(line, k.key, length) != 0) continue;
            settings.keyLine[key] = i;
            long value = DecodeNumber(line + length);
            ValueOf(settings, key) =
                value < k.low || value > k.high ? k.defaultValue : static_cast<int32_t>(value);
        }
    }

    for (int key = 0; key < KV_SETTINGS_KEYS; ++key) {
        if (settings.keyLine[key] >= 0) continue;
        settings.keyLine[key] = static_cast<int>(settings.lines.size());
        settings.lines.emplace_back();
    }
}

bool WriteSettingsFile(const std::string& path, kvSettings& settings) {
    for (int key = 0; key < KV_SETTINGS_KEYS; ++key) {
        int& index = settings.keyLine[key];
        if (index < 0 || index >= static_cast<int>(settings.lines.size())) {
            // Settings that were never read: the key gets a line of its own.
            index = static_cast<int>(settings.lines.size());
            settings.lines.emplace_back();
        }
        char line[KV_SETTINGS_ENTRY];
        std::snprintf(line, sizeof line, kKeys[key].format, ValueOf(settings, key));
        settings.lines[index] = line;
    }

    // A link someone else may have aimed (it was not read either) is not
    // written through: the window places are not worth another file.
    if (path.empty() || IsLinkOthersMayAim(path)) return false;
    int count = std::min(static_cast<int>(settings.lines.size()), KV_SETTINGS_SLOTS);
    kvAtomicFile file(path.c_str());
    if (file.IsOpen()) {
        for (int i = 0; i < count; ++i)
            file.Write(settings.lines[i].data(), settings.lines[i].size());
        return file.Commit();
    }
    // No new file can be made beside it. Only when the directory may not be
    // written to (holding a settings file the user may write) is the file
    // rewritten in place; a full disk or any other failure leaves it alone.
    if (!MayRewriteInPlace(file.OpenError())) return false;
    FILE* direct = OpenStream(path, "w");
    if (!direct) return false;
    bool ok = true;
    for (int i = 0; i < count; ++i)
        ok = std::fwrite(settings.lines[i].data(), 1, settings.lines[i].size(), direct) ==
                 settings.lines[i].size() &&
             ok;
    return std::fclose(direct) == 0 && ok;
}
