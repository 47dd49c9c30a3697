#include "charset.h"

#include "charset_convert.h"
#include "utf8_text.h"

#include <initializer_list>

namespace {

constexpr std::size_t kNameMax = 48;

// The charset name in upper case, without quotes, blanks or a language suffix.
std::string CanonicalName(const std::string& charset) {
    std::string name;
    for (char c : charset) {
        if (c == '*') break;
        if (c == '"' || c == ' ' || c == '\t') continue;
        name += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return name;
}

// A name iconv may be asked for: printable ASCII holding a letter or digit.
// iconv reads any other name (an empty one, a NUL cutting it short, or one of
// punctuation and 8-bit bytes, which it reduces to nothing) as the locale's
// own charset, which is no charset the article declared.
bool PlausibleName(const std::string& name) {
    bool alphanumeric = false;
    for (char c : name) {
        if (c <= ' ' || c > '~') return false;
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
            alphanumeric = true;
    }
    return alphanumeric;
}

bool IsOneOf(const std::string& name, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (name == n) return true;
    return false;
}

} // namespace

bool AppendInCharset(std::string& out, const std::string& charset, const char* bytes,
                     std::size_t length, kvConvert mode) {
    std::string name = CanonicalName(charset);
    if (!PlausibleName(name) || name.size() >= kNameMax) return false;
    if (IsOneOf(name, {"UTF-8", "UTF8"})) {
        if (mode == kvConvert::Strict && !IsValidUtf8(bytes, length)) return false;
        AppendUtf8Repaired(out, bytes, length, true);
        return true;
    }
    if (IsOneOf(name, {"US-ASCII", "ASCII", "ANSI_X3.4-1968", "ISO-8859-1", "ISO8859-1",
                       "ISO_8859-1", "LATIN1", "L1"})) {
        // Latin-1 maps every byte; undeclared 8-bit bytes in ASCII follow the raw rule.
        if (name[0] == 'U' || name[0] == 'A')
            AppendRawAsUtf8(out, bytes, length);
        else
            for (std::size_t i = 0; i < length; ++i)
                AppendCodePoint(out, static_cast<unsigned char>(bytes[i]));
        return true;
    }
    return AppendConverted(out, name, bytes, length, mode == kvConvert::Strict);
}
