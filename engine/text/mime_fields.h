// Reading the MIME fields of a header block: a header found by name in any
// case with its folded lines joined, and the type and parameters of a
// Content-Type or Content-Disposition value.
#pragma once

#include <string>

// The value of the first header called `name` (any case) in a header block
// with CR LF or LF line ends: leading blanks skipped, continuation lines
// joined with their line ends removed. False when there is no such header.
bool FindHeaderValue(const char* headerBlock, const char* name, std::string& value);

// The value's first token in lower case, such as "text/plain" or "attachment".
std::string MimeType(const std::string& value);

// A parameter of the value ("charset", "boundary", "name", "filename"), its
// quotes removed; an RFC 2231 "name*=charset''text" value is decoded to UTF-8.
// Empty when absent.
std::string MimeParameter(const std::string& value, const char* name);
