// The directory and file-name parts of a path, for the file selectors and for
// the source-file name a results file is loaded under. Any thread.
#pragma once
#include <string>

// Everything before the last separator ('/', and on Windows a backslash too),
// a root keeping its own ("/", or a drive's "C:" and backslash), or "" when
// there is none.
std::string DirectoryOf(const std::string& path);
// Everything after the last separator, or the whole path when there is none.
std::string FileNameOf(const std::string& path);
