#include "charset.h"

#include "utf8_text.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <initializer_list>

namespace {

constexpr std::size_t kNameMax = 48;

// A few open descriptors of this thread, reused by charset name.
class ConverterCache {
  public:
    ~ConverterCache() {
        for (Entry& e : entries)
            if (e.cd != reinterpret_cast<iconv_t>(-1)) iconv_close(e.cd);
    }
    // An open descriptor from the charset to UTF-8, or (iconv_t)-1.
    iconv_t Get(const std::string& name) {
        for (Entry& e : entries)
            if (name == e.name) return e.cd;
        iconv_t cd = iconv_open("UTF-8", name.c_str());
        if (cd == reinterpret_cast<iconv_t>(-1)) return cd;
        Entry& slot = entries[next];
        next = (next + 1) % kSlots;
        if (slot.cd != reinterpret_cast<iconv_t>(-1)) iconv_close(slot.cd);
        std::strcpy(slot.name, name.c_str());
        slot.cd = cd;
        return cd;
    }

  private:
    static constexpr int kSlots = 6;
    struct Entry {
        char name[kNameMax] = "";
        iconv_t cd = reinterpret_cast<iconv_t>(-1);
    };
    Entry entries[kSlots];
    int next = 0;
};

thread_local ConverterCache tCache;

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

bool Iconv(std::string& out, iconv_t cd, const char* bytes, std::size_t length, kvConvert mode) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string converted;
    char chunk[1024];
    char* in = const_cast<char*>(bytes);
    std::size_t inLeft = length;
    while (inLeft > 0) {
        char* o = chunk;
        std::size_t oLeft = sizeof chunk;
        std::size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        int error = r == static_cast<std::size_t>(-1) ? errno : 0;
        converted.append(chunk, static_cast<std::size_t>(o - chunk));
        if (error == 0) break;
        if (error == E2BIG) continue;
        if (mode == kvConvert::Strict) return false;
        if (error == EILSEQ) {
            AppendCodePoint(converted, 0xFFFD);
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            continue;
        }
        break; // EINVAL: an incomplete character ends the input and is dropped
    }
    char* o = chunk;
    std::size_t oLeft = sizeof chunk;
    iconv(cd, nullptr, nullptr, &o, &oLeft); // the shift state's closing bytes
    converted.append(chunk, static_cast<std::size_t>(o - chunk));
    out += converted;
    return true;
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
    iconv_t cd = tCache.Get(name);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    return Iconv(out, cd, bytes, length, mode);
}
