// Whether a file that sets up the program may be believed for the settings
// that weaken or redirect security (a CA file, plain passwords, logins), and
// opening such files without following a link someone else may have planted.
//
// A file is trusted when this user or root owns it and neither its group nor
// others may write it, and its folder likewise: owned by this user or root,
// not writable by the group or others. Anyone else who can change the file,
// or replace it in its folder, could aim the program at a server of their
// choosing. Windows has no such owners and modes here: every file is trusted
// and links are followed as before. Any thread.
#pragma once

#include <cstdio>
#include <string>

enum class kvFileTrust {
    Trusted,
    OthersMayChange, // the file or its folder: another owner, or a group or other write bit
};

// The check on an open file (fd) found at path: its owner and mode, and its
// folder's (the folder of the file the path leads to).
kvFileTrust TrustOfOpenFile(int fd, const std::string& path);

// Opens a settings, description or netrc file for reading. In a folder the
// group or others may write, or one of another user's, a symbolic link is not followed (the open
// fails with ELOOP); a pipe or device does not block the open. A descriptor, or -1 with errno set.
int OpenSettingsFile(const std::string& path);

// Whether path is a symbolic link in a folder where OpenSettingsFile would not
// follow it: a settings file found there is neither read nor written through it.
bool IsLinkOthersMayAim(const std::string& path);

// As OpenSettingsFile, as a stream (nullptr on failure), and the file's trust.
std::FILE* OpenSettingsStream(const std::string& path, kvFileTrust& trust);
