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
std::string ReadFile(const std::string& path);
