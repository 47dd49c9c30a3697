#include "file_system.h"

#include "wide_text_windows.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <vector>
#include <windows.h>

int OpenForReading(const std::string& path) {
    // Every sharing mode, delete included: a file being read must not stop
    // another program (or a save of ours) from replacing it.
    HANDLE handle = CreateFileW(kvWide(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = kvErrnoOf(GetLastError());
        return -1;
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        errno = EMFILE;
    }
    return fd;
}

long ReadSome(int fd, char* buffer, std::size_t size) {
    unsigned int chunk = size > 0x40000000 ? 0x40000000u : static_cast<unsigned int>(size);
    return _read(fd, buffer, chunk);
}

void CloseFile(int fd) {
    if (fd >= 0) _close(fd);
}

std::FILE* OpenStream(const std::string& path, const char* mode) {
    return _wfopen(kvWide(path).c_str(), kvWide(mode).c_str());
}

kvFileKind KindOf(const std::string& path) {
    DWORD attributes = GetFileAttributesW(kvWide(path).c_str());
    if (path.empty() || attributes == INVALID_FILE_ATTRIBUTES) return kvFileKind::Missing;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return kvFileKind::Directory;
    if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return kvFileKind::Other;
    return kvFileKind::Regular;
}

kvFileKind KindOfOpen(int fd) {
    struct _stat64 info {};
    if (_fstat64(fd, &info) != 0) return kvFileKind::Missing;
    if ((info.st_mode & _S_IFMT) == _S_IFREG) return kvFileKind::Regular;
    if ((info.st_mode & _S_IFMT) == _S_IFDIR) return kvFileKind::Directory;
    return kvFileKind::Other;
}

bool OthersMayRead(int) {
    return false;
}

bool CreateEmptyFile(const std::string& path) {
    HANDLE handle = CreateFileW(kvWide(path).c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    CloseHandle(handle);
    return true;
}

bool MakeDirectory(const std::string& path) {
    if (!CreateDirectoryW(kvWide(path).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    return KindOf(path) == kvFileKind::Directory;
}

bool RemoveFile(const std::string& path) {
    return DeleteFileW(kvWide(path).c_str()) != 0;
}

char PathSeparator() {
    return '\\';
}

bool IsPathSeparator(char c) {
    return c == '\\' || c == '/';
}

std::size_t LastSeparator(const std::string& path) {
    return path.find_last_of("\\/");
}

std::string Environment(const char* name) {
    std::wstring wideName = kvWide(name);
    DWORD needed = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (needed == 0) return std::string();
    std::vector<wchar_t> value(needed);
    DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), needed);
    if (length == 0 || length >= needed) return std::string();
    return kvUtf8(value.data(), length);
}

std::string WorkingDirectory() {
    DWORD needed = GetCurrentDirectoryW(0, nullptr);
    if (needed == 0) return std::string();
    std::vector<wchar_t> directory(needed);
    DWORD length = GetCurrentDirectoryW(needed, directory.data());
    if (length == 0 || length >= needed) return std::string();
    return kvUtf8(directory.data(), length);
}

std::string ExecutablePath() {
    // The buffer grows until the whole name fits (long paths exceed MAX_PATH).
    for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
        std::vector<wchar_t> name(size);
        DWORD length = GetModuleFileNameW(nullptr, name.data(), size);
        if (length == 0) return std::string();
        if (length < size) return kvUtf8(name.data(), length);
    }
    return std::string();
}
