// The netrc file (as ftp and curl read it): "machine HOST login USER password
// PASS" entries, a "default" entry for every other host, "macdef" blocks that
// are skipped. Words are separated by blanks or line ends; a word may be
// quoted with "..." (backslash escapes the next character).
//
// A netrc file holds passwords: one that the group or others may read is
// refused, and one written here gets mode 0600 whatever the umask. One that
// others may change (file_trust.h), or a link in a folder others may write, is
// refused too: its logins could send a password of ours to their server.
#pragma once

#include "credentials.h"

#include <string>

// The entry for host in netrc text: the first "machine" entry of that name
// (case-insensitive), else the "default" entry. False when neither exists or
// the entry has no login.
bool FindNetrcEntry(const std::string& text, const std::string& host, kvCredentials& out);

enum class kvNetrcStatus {
    Found,
    NotFound,   // the file has no entry for the host
    Missing,    // there is no such file
    Unsafe,     // the group or others may read it
    Unreadable, // it exists but cannot be read
    Untrusted,  // others may change it or its folder, or it is a link in a folder others may write
};
kvNetrcStatus ReadNetrcFile(const std::string& path, const std::string& host, kvCredentials& out);

// The user's netrc file (UserNetrcFile); empty when there is no home directory.
std::string DefaultNetrcPath();

// A credential source that reads the netrc file at `path` when asked: Given
// for an entry, None without a file or entry, Refused (with the reason) for a
// file that others may read or change or that cannot be read.
kvCredentialSource NetrcCredentials(const std::string& path);

// Why a netrc file at path with this status is refused (Unsafe, Untrusted,
// Unreadable), as the sentence shown to the user.
std::string NetrcRefusal(kvNetrcStatus status, const std::string& path);

// Writes (or replaces) host's entry, keeping every other entry, atomically and
// with mode 0600. False with `problem` when it cannot be written.
bool RememberInNetrc(const std::string& path, const std::string& host, const kvCredentials& login,
                     std::string& problem);
