// The system's character set converters under AppendInCharset (charset.cpp):
// glibc iconv on POSIX (charset_convert_posix.cpp), the code pages of
// MultiByteToWideChar on Windows (charset_convert_windows.cpp).
#pragma once

#include <cstddef>
#include <string>

// Appends the bytes, read in the charset `name` (upper case, at most 47
// characters, no language suffix), to out as UTF-8, as AppendInCharset
// describes for kvConvert::Strict (strict) and kvConvert::Repair. False, with
// out unchanged, for a charset the system does not know or (strict) a byte
// that does not convert.
bool AppendConverted(std::string& out, const std::string& name, const char* bytes,
                     std::size_t length, bool strict);
