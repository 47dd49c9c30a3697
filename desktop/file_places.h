// Where the program looks for its three files (settings, description, help).
//
// Called on the GUI thread at start-up only. A file is looked for in the
// working directory, then in the directory of the running executable, then in
// the user's configuration directory ($XDG_CONFIG_HOME/korvex, or
// ~/.config/korvex). No wx here: the places are plain strings so tests can
// point them at temporary directories.
#pragma once
#include <string>

struct kvFilePlaces {
    std::string workingDir; // empty: not known
    std::string programDir; // empty: the program was started by its bare name
    std::string configDir;  // empty: no home directory known

    // The three places of this process.
    static kvFilePlaces OfThisProcess();
};

// The first of workingDir/name, programDir/name (or the bare name when
// programDir is empty) and configDir/name that exists; empty when none does.
std::string LocateFile(const kvFilePlaces& places, const char* name);

// LocateFile, and when the file exists nowhere, a new empty file in the
// program directory, or failing that in the configuration directory (created
// with its parents). Empty when no file could be created either.
std::string LocateOrCreateFile(const kvFilePlaces& places, const char* name);
