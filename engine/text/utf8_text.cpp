#include "utf8_text.h"

#include <cstring>

namespace {

// Length of the valid sequence at p (at most `left` bytes), or 0 when the
// bytes there do not form one. `cut` tells whether the bytes are a valid start
// that the end of the text interrupted.
std::size_t SequenceLength(const unsigned char* p, std::size_t left, bool& cut) {
    cut = false;
    unsigned char c = p[0];
    if (c < 0x80) return 1;
    std::size_t n;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0) lo = 0xA0; // no overlong forms
        if (c == 0xED) hi = 0x9F; // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F; // nothing above U+10FFFF
    } else {
        return 0;
    }
    for (std::size_t i = 1; i < n; ++i) {
        if (i >= left) {
            cut = true;
            return 0;
        }
        unsigned char low = i == 1 ? lo : 0x80, high = i == 1 ? hi : 0xBF;
        if (p[i] < low || p[i] > high) return 0;
    }
    return n;
}

void AppendLatin1(std::string& out, const char* bytes, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i)
        AppendCodePoint(out, static_cast<unsigned char>(bytes[i]));
}

// Appends valid UTF-8 with its control characters made visible.
void AppendNeutralised(std::string& out, const std::string& text, bool multiLine) {
    const char* at = text.c_str();
    const char* end = at + text.size();
    while (at < end) {
        const char* start = at;
        std::uint32_t c = NextCodePoint(at);
        if (c == '\t' || (multiLine && c == '\n')) {
            out += static_cast<char>(c);
        } else if (multiLine && c == '\r' && *at == '\n') {
            // a CR LF line end reads as LF
        } else if (c < 0x20) {
            AppendCodePoint(out, 0x2400 + c);
        } else if (c == 0x7F) {
            AppendCodePoint(out, 0x2421);
        } else if (c >= 0x80 && c <= 0x9F) {
            AppendCodePoint(out, 0xFFFD);
        } else {
            out.append(start, static_cast<std::size_t>(at - start));
        }
    }
}

} // namespace

bool IsValidUtf8(const char* bytes, std::size_t length) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    std::size_t i = 0;
    while (i < length) {
        bool cut;
        std::size_t n = SequenceLength(p + i, length - i, cut);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

void AppendCodePoint(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::uint32_t NextCodePoint(const char*& at) {
    const auto* p = reinterpret_cast<const unsigned char*>(at);
    std::uint32_t c = p[0];
    int more = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    if (more > 0) c &= 0x3F >> more;
    for (int i = 1; i <= more; ++i)
        c = (c << 6) | (p[i] & 0x3F);
    at += more + 1;
    return c;
}

void AppendRawAsUtf8(std::string& out, const char* bytes, std::size_t length) {
    if (IsValidUtf8(bytes, length))
        out.append(bytes, length);
    else
        AppendLatin1(out, bytes, length);
}

void AppendUtf8Repaired(std::string& out, const char* bytes, std::size_t length, bool dropCutEnd) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    std::size_t i = 0;
    while (i < length) {
        bool cut;
        std::size_t n = SequenceLength(p + i, length - i, cut);
        if (n > 0) {
            out.append(bytes + i, n);
            i += n;
        } else if (cut && dropCutEnd) {
            return;
        } else {
            AppendCodePoint(out, 0xFFFD);
            ++i;
        }
    }
}

std::string ReadableText(const char* bytes, std::size_t length, bool multiLine) {
    std::string utf8;
    utf8.reserve(length + length / 8);
    if (!multiLine || IsValidUtf8(bytes, length)) {
        AppendRawAsUtf8(utf8, bytes, length);
    } else {
        std::size_t start = 0;
        while (start < length) {
            const void* lf = std::memchr(bytes + start, '\n', length - start);
            std::size_t stop =
                lf != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lf) - bytes) + 1
                              : length;
            AppendRawAsUtf8(utf8, bytes + start, stop - start);
            start = stop;
        }
    }
    std::string out;
    out.reserve(utf8.size());
    AppendNeutralised(out, utf8, multiLine);
    return out;
}

std::string ReadableText(const char* text, bool multiLine) {
    return text != nullptr ? ReadableText(text, std::strlen(text), multiLine) : std::string();
}
