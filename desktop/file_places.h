// Where the program looks for its three files (settings, description, help).
//
// Called on the GUI thread at start-up only. A file is looked for in the
// working directory, then in the directory of the running executable, then in
// the user's configuration directory ($XDG_CONFIG_HOME/korvex, or
// ~/.config/korvex; %APPDATA%\Korvex on Windows), then in the data directory (share/korvex beside
// the bin directory of the executable, where the package puts the sample description file and the
// help text). No wx here: the places are plain strings so tests can point them at temporary
// directories.
#pragma once
#include <string>

struct kvFilePlaces {
    std::string workingDir; // empty: not known
    std::string programDir; // empty: the program was started by its bare name
    std::string configDir;  // empty: no home directory known
    std::string dataDir;    // empty: no program directory known
    std::string netrcFile;  // logins; empty: ~/.netrc

    // An installed program: one whose data directory exists. It never
    // creates files beside itself.
    bool Installed() const;

    // The three places of this process.
    static kvFilePlaces OfThisProcess();
};

// The data directory of a program in programDir: share/korvex beside the
// bin directory ("/usr/bin" gives "/usr/share/korvex"). Empty for an empty
// programDir.
std::string DataDirectoryBeside(const std::string& programDir);

// The first of workingDir/name, programDir/name (or the bare name when
// programDir is empty), configDir/name and dataDir/name that exists; empty
// when none does.
std::string LocateFile(const kvFilePlaces& places, const char* name);

// LocateFile, and when the file exists nowhere, a new empty file in the
// program directory, or failing that in the configuration directory (created
// with its parents). An installed program skips its own directory: even where
// it could write there (as root), the file goes to the configuration
// directory. Empty when no file could be created.
std::string LocateOrCreateFile(const kvFilePlaces& places, const char* name);
