#include "charset_convert.h"

#include "utf8_text.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace {

constexpr std::size_t kNameMax = 48; // longer names never reach here

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

bool Iconv(std::string& out, iconv_t cd, const char* bytes, std::size_t length, bool strict) {
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
        if (strict) return false;
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

bool AppendConverted(std::string& out, const std::string& name, const char* bytes,
                     std::size_t length, bool strict) {
    iconv_t cd = tCache.Get(name);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    return Iconv(out, cd, bytes, length, strict);
}
