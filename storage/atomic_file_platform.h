// The steps of kvAtomicFile that differ between systems: atomic_file_posix.cpp
// (mkostemp, modes and owners, rename, directory sync) and atomic_file_windows.cpp
// (CreateFileW, MoveFileExW). Only atomic_file.cpp uses these.
#pragma once

#include <cstddef>
#include <string>

namespace kvAtomicPlatform {

// Longest file name (one path component) a directory takes, in bytes.
std::size_t NameMax();
// The file a write to path really replaces: on POSIX, symbolic links are
// followed until a name that is not a link (which may not exist yet). A link
// in a folder the group or others may write that neither this user nor the
// folder's owner owns is not followed: refusedLink then names it (else empty).
std::string WriteTarget(const std::string& path, std::string& refusedLink);
// Creates a new, empty temporary file: the pattern ends in "XXXXXX", which is
// replaced in place by a name not yet taken. A descriptor, or -1 with errno set.
int CreateTemporary(std::string& pattern);
// Writes up to length bytes: the count written, or -1 on an error.
long WriteSome(int fd, const char* bytes, std::size_t length);
// Syncs and closes fd (always closed afterwards), gives the temporary file what
// the system keeps of the target it replaces, and puts it in target's place.
// False when any step failed; the temporary file is then removed.
bool ReplaceTarget(int fd, const std::string& temporary, const std::string& target,
                   bool privateFile);
// Closes fd and removes the temporary file.
void RemoveTemporary(int fd, const std::string& temporary);
// Removes a file by name; must be safe inside a signal handler.
void RemoveInHandler(const char* path);
// Makes the system call removeAll before the process is ended by an
// interrupt (Ctrl-C, a termination request, a closed terminal or console).
void RemoveOnInterrupt(void (*removeAll)());

} // namespace kvAtomicPlatform
