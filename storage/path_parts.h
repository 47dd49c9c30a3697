// The directory and file-name parts of a path, for the file selectors and for
// the source-file name a results file is loaded under. Any thread.
#pragma once
#include <string>

// Everything before the last '/' ("/" for a file in the root), or "" when
// there is none.
std::string DirectoryOf(const std::string& path);
// Everything after the last '/', or the whole path when there is none.
std::string FileNameOf(const std::string& path);
