// Text in a named character set converted to UTF-8, with the system's
// converters for every charset they know (glibc iconv; the code pages of
// Windows); UTF-8, US-ASCII and ISO-8859-1 are converted here directly. May be
// called from any thread (iconv descriptors are kept per thread).
#pragma once

#include <cstddef>
#include <string>

enum class kvConvert {
    Strict, // any byte that does not convert fails the whole conversion
    Repair, // such bytes become U+FFFD; an incomplete character at the end is dropped
};

// Appends the bytes, read in `charset` (a MIME charset name, any case, an
// RFC 2231 "*language" suffix allowed), to out as UTF-8. False, with out
// unchanged, when the charset is unknown (a name that is not printable ASCII
// with a letter or digit is unknown) or (Strict) a byte does not convert.
// US-ASCII text holding 8-bit bytes is taken by the raw-byte rule.
bool AppendInCharset(std::string& out, const std::string& charset, const char* bytes,
                     std::size_t length, kvConvert mode);
