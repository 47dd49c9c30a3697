// The terminal (POSIX) or console (Windows) under korvex-cli: console_posix.cpp
// or console_windows.cpp, chosen by CMake.
#pragma once

#include <cstdio>
#include <string>

// Prepares the console once at start-up: on Windows, output in UTF-8 (the
// program writes UTF-8 text) instead of the console's OEM code page.
void PrepareConsole();
// Whether stream is a terminal or console (and not a file or a pipe).
bool IsTerminal(std::FILE* stream);
// Reads one line from the terminal on standard input without echoing it; the
// line end is not kept. False at the end of the input or on an error.
bool ReadHiddenLine(std::string& line);
