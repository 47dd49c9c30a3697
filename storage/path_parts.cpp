#include "path_parts.h"

#include "file_system.h"

std::string DirectoryOf(const std::string& path) {
    std::size_t slash = LastSeparator(path);
    if (slash == std::string::npos) return std::string();
    // A root keeps its separator: "/" and, on Windows, "C:\".
    bool driveRoot = PathSeparator() == '\\' && slash == 2 && path[1] == ':';
    return slash == 0 || driveRoot ? path.substr(0, slash + 1) : path.substr(0, slash);
}

std::string FileNameOf(const std::string& path) {
    std::size_t slash = LastSeparator(path);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
