// The file operations whose system calls differ between POSIX and Windows. Every
// path is UTF-8; on Windows it goes through the wide-character API, so names
// outside the ANSI code page work. CMake builds file_system_posix.cpp or
// file_system_windows.cpp; the callers stay the same on both.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// Opens an existing file for reading (binary, not inherited by child
// processes). A descriptor, or -1 with errno set (ENOENT: no such file).
int OpenForReading(const std::string& path);
// Up to size bytes from fd (interrupted reads are retried): the count, 0 at the
// end of the file, -1 on an error.
long ReadSome(int fd, char* buffer, std::size_t size);
void CloseFile(int fd);
// std::fopen with a UTF-8 name.
std::FILE* OpenStream(const std::string& path, const char* mode);

enum class kvFileKind { Missing, Regular, Directory, Other };
kvFileKind KindOf(const std::string& path);
// What an open descriptor refers to (Missing when it cannot be queried).
kvFileKind KindOfOpen(int fd);
// Whether users other than the owner may read an open file. POSIX: a group or
// other permission bit; Windows has no such bits (a file in the profile is the
// user's), so never.
bool OthersMayRead(int fd);

// Creates an empty file unless one is there already (it is never truncated).
// A link already there, even one that leads nowhere, counts as there: no file
// is made where it points.
bool CreateEmptyFile(const std::string& path);
// Creates one directory; true when it exists afterwards.
bool MakeDirectory(const std::string& path);
bool RemoveFile(const std::string& path);

// The separator the system joins paths with ('/' or '\\'), and whether a
// character separates path components ('\\' counts only on Windows).
char PathSeparator();
bool IsPathSeparator(char c);
// The position of the last separator in path, or npos.
std::size_t LastSeparator(const std::string& path);

// An environment variable as UTF-8; empty when unset.
std::string Environment(const char* name);
// The working directory, empty when unknown.
std::string WorkingDirectory();
// The running program's file, empty when unknown.
std::string ExecutablePath();
