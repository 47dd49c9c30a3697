#include "wide_text_windows.h"

#include <cerrno>
#include <climits>
#include <windows.h>

std::wstring kvWide(const std::string& utf8) {
    if (utf8.empty() || utf8.size() > INT_MAX) return std::wstring();
    int length = static_cast<int>(utf8.size());
    int needed = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    if (needed <= 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, &wide[0], needed);
    return wide;
}

std::string kvUtf8(const wchar_t* wide, std::size_t length) {
    if (length == 0 || length > INT_MAX) return std::string();
    int n = static_cast<int>(length);
    int needed = WideCharToMultiByte(CP_UTF8, 0, wide, n, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return std::string();
    std::string utf8(static_cast<std::size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, n, &utf8[0], needed, nullptr, nullptr);
    return utf8;
}

std::string kvUtf8(const std::wstring& wide) {
    return kvUtf8(wide.data(), wide.size());
}

int kvErrnoOf(unsigned long windowsError) {
    switch (windowsError) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    default:
        return EIO;
    }
}
