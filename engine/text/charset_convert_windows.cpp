#include "charset_convert.h"

#include "utf8_text.h"

#include <algorithm>
#include <cstring>
#include <windows.h>

namespace {

// ISO-2022-JP is read as EUC-JP after its escape sequences are resolved here:
// code page 50220 is missing from some systems (Wine among them).
constexpr UINT kIso2022Jp = 20932;
constexpr UINT kEucJp = 20932;

struct CodePageName {
    const char* name;
    UINT codePage;
};

// MIME charset names (and their common aliases) and the Windows code pages
// that read them.
const CodePageName kCodePages[] = {
    {"WINDOWS-1250", 1250},  {"CP1250", 1250},
    {"WINDOWS-1251", 1251},  {"CP1251", 1251},
    {"WINDOWS-1252", 1252},  {"CP1252", 1252},
    {"WINDOWS-1253", 1253},  {"CP1253", 1253},
    {"WINDOWS-1254", 1254},  {"CP1254", 1254},
    {"WINDOWS-1255", 1255},  {"CP1255", 1255},
    {"WINDOWS-1256", 1256},  {"CP1256", 1256},
    {"WINDOWS-1257", 1257},  {"CP1257", 1257},
    {"WINDOWS-1258", 1258},  {"CP1258", 1258},
    {"WINDOWS-874", 874},    {"TIS-620", 874},
    {"ISO-8859-2", 28592},   {"ISO8859-2", 28592},
    {"LATIN2", 28592},       {"ISO-8859-3", 28593},
    {"ISO-8859-4", 28594},   {"ISO-8859-5", 28595},
    {"ISO8859-5", 28595},    {"ISO-8859-6", 28596},
    {"ISO-8859-7", 28597},   {"ISO8859-7", 28597},
    {"ISO-8859-8", 28598},   {"ISO-8859-8-I", 38598},
    {"ISO-8859-9", 28599},   {"LATIN5", 28599},
    {"ISO-8859-13", 28603},  {"ISO-8859-15", 28605},
    {"ISO8859-15", 28605},   {"LATIN-9", 28605},
    {"KOI8-R", 20866},       {"KOI8-U", 21866},
    {"IBM437", 437},         {"CP437", 437},
    {"IBM850", 850},         {"CP850", 850},
    {"IBM852", 852},         {"CP852", 852},
    {"IBM866", 866},         {"CP866", 866},
    {"MACINTOSH", 10000},    {"SHIFT_JIS", 932},
    {"SHIFT-JIS", 932},      {"SJIS", 932},
    {"CP932", 932},          {"WINDOWS-31J", 932},
    {"EUC-JP", 20932},       {"ISO-2022-JP", 50220},
    {"GB2312", 936},         {"GBK", 936},
    {"CP936", 936},          {"GB18030", 54936},
    {"BIG5", 950},           {"BIG5-HKSCS", 950},
    {"CP950", 950},          {"EUC-KR", 949},
    {"KS_C_5601-1987", 949}, {"CP949", 949},
    {"UTF-7", 65000},        {"ISO-2022-JP", kIso2022Jp},
};

// Code pages whose conversion keeps a shift state: MultiByteToWideChar takes
// no flags for them, and they are converted as a whole.
bool Stateful(UINT codePage) {
    return codePage == 65000;
}

// ISO-2022-JP as EUC-JP: ASCII and JIS-Roman stay single bytes, JIS X 0208
// pairs get their high bits, half-width katakana its single-shift byte. An
// unknown escape sequence, or a control byte inside a double-byte run, makes
// the text invalid (false).
bool Iso2022JpToEucJp(const char* bytes, std::size_t length, std::string& euc) {
    enum class Set { Ascii, Jis0208, Katakana } set = Set::Ascii;
    for (std::size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == 0x1B) {
            std::string seq(bytes + i + 1, std::min<std::size_t>(2, length - i - 1));
            if (seq == "(B" || seq == "(J")
                set = Set::Ascii;
            else if (seq == "$B" || seq == "$@")
                set = Set::Jis0208;
            else if (seq == "(I")
                set = Set::Katakana;
            else
                return false;
            i += 2;
            continue;
        }
        if (c == '\n' || c == '\r') set = Set::Ascii; // each line starts in ASCII
        if (c >= 0x80) return false;
        if (set == Set::Ascii || c < 0x21 || c > 0x7E) {
            if (set == Set::Jis0208 && c >= 0x21 && c <= 0x7E) return false;
            euc += static_cast<char>(c);
        } else if (set == Set::Katakana) {
            euc += '\x8E';
            euc += static_cast<char>(c | 0x80);
        } else {
            euc += static_cast<char>(c | 0x80);
        }
    }
    return true;
}

// The bytes of one character starting at bytes[0] (1 or 2; only the double-byte
// code pages have lead bytes).
std::size_t CharacterLength(UINT codePage, const char* bytes, std::size_t left) {
    if (left >= 2 && IsDBCSLeadByteEx(codePage, static_cast<BYTE>(bytes[0]))) return 2;
    return 1;
}

bool Convert(UINT codePage, DWORD flags, const char* bytes, std::size_t length, std::string& out) {
    if (length == 0) return true;
    if (length > 0x7FFFFFFF) return false;
    int n = static_cast<int>(length);
    int needed = MultiByteToWideChar(codePage, flags, bytes, n, nullptr, 0);
    if (needed <= 0) return false;
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    MultiByteToWideChar(codePage, flags, bytes, n, &wide[0], needed);
    int bytesNeeded =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), needed, nullptr, 0, nullptr, nullptr);
    if (bytesNeeded <= 0) return false;
    std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(bytesNeeded));
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), needed, &out[at], bytesNeeded, nullptr, nullptr);
    return true;
}

} // namespace

bool AppendConverted(std::string& out, const std::string& name, const char* bytes,
                     std::size_t length, bool strict) {
    UINT codePage = 0;
    for (const CodePageName& c : kCodePages)
        if (name == c.name) codePage = c.codePage;
    if (codePage == 0 || !IsValidCodePage(codePage)) return false;
    std::string euc;
    if (name == "ISO-2022-JP") {
        if (!Iso2022JpToEucJp(bytes, length, euc)) {
            if (strict) return false;
            euc.clear(); // repaired below from the raw bytes' ASCII
            for (std::size_t i = 0; i < length; ++i)
                euc += static_cast<unsigned char>(bytes[i]) < 0x80 && bytes[i] != '\x1B' ? bytes[i]
                                                                                         : '\xFF';
        }
        bytes = euc.data();
        length = euc.size();
        codePage = kEucJp;
    }
    std::string converted;
    if (Stateful(codePage)) {
        if (!Convert(codePage, 0, bytes, length, converted)) return false;
        out += converted;
        return true;
    }
    if (Convert(codePage, MB_ERR_INVALID_CHARS, bytes, length, converted)) {
        out += converted;
        return true;
    }
    if (strict) return false;
    // Repair: character by character, each one that does not convert becoming
    // U+FFFD; a lead byte without its trail byte at the end is dropped.
    converted.clear();
    std::size_t at = 0;
    while (at < length) {
        std::size_t size = CharacterLength(codePage, bytes + at, length - at);
        if (size == 1 && at + 1 == length &&
            IsDBCSLeadByteEx(codePage, static_cast<BYTE>(bytes[at])))
            break;
        if (Convert(codePage, MB_ERR_INVALID_CHARS, bytes + at, size, converted)) {
            at += size;
        } else {
            AppendCodePoint(converted, 0xFFFD);
            ++at;
        }
    }
    out += converted;
    return true;
}
