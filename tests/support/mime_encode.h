// MIME encoding for the test article generator: the other direction of what
// the program decodes, written apart from its decoder.
#pragma once

#include <string>

namespace korvex_test {

// UTF-8 text in another charset (glibc iconv); aborts when it cannot convert.
std::string InCharset(const std::string& utf8, const char* charset);

// "=?charset?Q?...?=" and "=?charset?B?...?=" of the bytes.
std::string QWord(const std::string& bytes, const char* charset);
std::string BWord(const std::string& bytes, const char* charset);

// Base64 in lines of 76 characters, each ended by "\n".
std::string Base64Lines(const std::string& bytes);

// Quoted-printable of text with LF line ends: lines stay lines, longer ones
// are broken with soft line breaks.
std::string QuotedPrintable(const std::string& bytes);

} // namespace korvex_test
