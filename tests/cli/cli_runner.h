// Runs korvex-cli with arguments and collects its exit status and output.
#pragma once

#include <string>
#include <vector>

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
    std::string LastErrLine() const;
};

CliResult RunCli(const std::vector<std::string>& args);

// A fresh empty directory under the system's temporary directory.
std::string MakeTempDir();
// The test program's environment, which the programs it runs inherit.
void SetVariable(const char* name, const char* value);
void ClearVariable(const char* name);
std::string ReadFile(const std::string& path);

// True when the text is something a terminal only prints: valid UTF-8 whose
// only control characters are tab and LF (no ESC, CR, DEL or C1 controls).
bool PrintableOnly(const std::string& text);
