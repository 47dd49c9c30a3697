// UTF-8 and the UTF-16 of the Windows wide-character API.
#pragma once

#include <string>

std::wstring kvWide(const std::string& utf8);
std::string kvUtf8(const wchar_t* wide, std::size_t length);
std::string kvUtf8(const std::wstring& wide);
// The Windows error code as errno (ENOENT, EACCES, EEXIST; EIO for the rest).
int kvErrnoOf(unsigned long windowsError);
