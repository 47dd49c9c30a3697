#include "mime_encode.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace korvex_test {
namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64(const std::string& bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kAlphabet[v & 63] : '=';
    }
    return out;
}

std::string Hex(unsigned char c) {
    char text[4];
    std::snprintf(text, sizeof text, "=%02X", c);
    return text;
}

} // namespace

#ifdef _WIN32
// The charsets the generated articles use, as Windows code pages.
std::string InCharset(const std::string& utf8, const char* charset) {
    UINT codePage = 0;
    if (_stricmp(charset, "UTF-8") == 0) return utf8;
    if (_stricmp(charset, "ISO-8859-1") == 0) codePage = 28591;
    if (_stricmp(charset, "windows-1252") == 0) codePage = 1252;
    if (_stricmp(charset, "KOI8-R") == 0) codePage = 20866;
    if (codePage == 0 || utf8.empty()) return codePage == 0 ? (std::abort(), std::string()) : utf8;
    int n = static_cast<int>(utf8.size());
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), n, &wide[0], n)));
    if (wide.empty()) std::abort();
    std::string out(wide.size() * 4, '\0');
    BOOL lost = FALSE;
    int written = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                      &out[0], static_cast<int>(out.size()), nullptr, &lost);
    if (written <= 0 || lost) std::abort();
    out.resize(static_cast<std::size_t>(written));
    return out;
}
#else
std::string InCharset(const std::string& utf8, const char* charset) {
    iconv_t cd = iconv_open(charset, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) std::abort();
    std::string out(utf8.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* o = &out[0];
    std::size_t oLeft = out.size();
    if (iconv(cd, &in, &inLeft, &o, &oLeft) == static_cast<std::size_t>(-1)) std::abort();
    iconv_close(cd);
    out.resize(out.size() - oLeft);
    return out;
}
#endif

std::string QWord(const std::string& bytes, const char* charset) {
    std::string out = std::string("=?") + charset + "?Q?";
    for (char c : bytes) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == ' ')
            out += '_';
        else if ((u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z'))
            out += c;
        else
            out += Hex(u);
    }
    return out + "?=";
}

std::string BWord(const std::string& bytes, const char* charset) {
    return std::string("=?") + charset + "?B?" + Base64(bytes) + "?=";
}

std::string Base64Lines(const std::string& bytes) {
    std::string all = Base64(bytes);
    std::string out;
    for (std::size_t i = 0; i < all.size(); i += 76)
        out += all.substr(i, 76) + "\n";
    return out;
}

std::string QuotedPrintable(const std::string& bytes) {
    std::string out;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t lf = bytes.find('\n', start);
        std::size_t end = lf == std::string::npos ? bytes.size() : lf;
        std::size_t lineLength = 0;
        for (std::size_t i = start; i < end; ++i) {
            unsigned char u = static_cast<unsigned char>(bytes[i]);
            bool last = i + 1 == end;
            std::string piece =
                (u == '=' || u > 126 || (u < 32 && u != '\t') || ((u == ' ' || u == '\t') && last))
                    ? Hex(u)
                    : std::string(1, bytes[i]);
            if (lineLength + piece.size() > 75) {
                out += "=\n";
                lineLength = 0;
            }
            out += piece;
            lineLength += piece.size();
        }
        if (lf != std::string::npos) out += "\n";
        start = end + 1;
    }
    return out;
}

} // namespace korvex_test
