// Settings kept in korvex.ini beside the window geometry: the recent results
// files and the results list's column widths, as KEY=value lines among the
// lines the settings file carries along (kvSettings::lines).
//
// GUI thread only. A line longer than a settings entry arrives in several
// entries; these functions read such a line whole and write each line as one
// entry, reusing the entry a key already had, so the file does not grow.
// Files without these keys read as if every value were missing.
#pragma once
#include "settings_file.h"

#include <string>
#include <vector>

// The value of the line "KEY=value" (the first one), without its line end;
// false when there is none.
bool ReadExtraSetting(const kvSettings& settings, const std::string& key, std::string& value);
// Sets the line "KEY=value", or removes it for an empty value.
void WriteExtraSetting(kvSettings& settings, const std::string& key, const std::string& value);

// File > Recent results: RECENT1 (newest) .. RECENT5, empty ones skipped.
std::vector<std::string> ReadRecentFiles(const kvSettings& settings);
void WriteRecentFiles(kvSettings& settings, const std::vector<std::string>& paths);
// The list with path put first (taken out of where it stood before), at most
// five long. A path too long for the settings file is left out.
std::vector<std::string> WithRecentFile(std::vector<std::string> paths, const std::string& path);

// A whole number setting in low..high, else fallback.
int ReadNumberSetting(const kvSettings& settings, const std::string& key, int fallback, int low,
                      int high);
