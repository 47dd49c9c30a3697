// Command-line arguments of korvex-cli, parsed into a search request and the
// names of the files to write. Parsing never exits: errors come back as text.
#pragma once

#include "records.h"

#include <string>

enum class kvCliCommand { None, Search, Show, Export, Help, Version };

struct kvCliOptions {
    kvCliCommand command = kvCliCommand::None;
    kvSearchRequest request;
    std::string inputFile; // show, export: the results file to load
    std::string saveFile;
    std::string reportFile;
    std::string replyListFile;
    std::string csvFile;   // search, export
    std::string jsonlFile; // search, export
    std::string mboxFile;  // search, export
    bool noBody = false;   // --no-body: the JSON Lines export without the bodies
    std::string user;      // --user: log in as this user when the server asks
    std::string netrcFile; // --netrc-file: instead of ~/.netrc
    bool quiet = false;
    bool sweep = false; // --group names a list of groups or a wildmat
};

// Fills options from argv. Returns an empty string on success, else the reason.
std::string ParseCliOptions(int argc, const char* const argv[], kvCliOptions& options);

extern const char* const KV_CLI_USAGE;
