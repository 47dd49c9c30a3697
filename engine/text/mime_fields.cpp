#include "mime_fields.h"

#include "charset.h"

#include <cstring>
#include <strings.h>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "charset'language'percent-encoded text" as UTF-8.
std::string ExtendedValue(const std::string& text) {
    std::size_t q1 = text.find('\'');
    std::size_t q2 = q1 == std::string::npos ? q1 : text.find('\'', q1 + 1);
    if (q2 == std::string::npos) return text;
    std::string bytes;
    for (std::size_t i = q2 + 1; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            bytes += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            bytes += text[i];
        }
    }
    std::string out;
    std::string charset = text.substr(0, q1);
    if (charset.empty()) charset = "us-ascii";
    if (!AppendInCharset(out, charset, bytes.data(), bytes.size(), kvConvert::Repair)) return bytes;
    return out;
}

} // namespace

bool FindHeaderValue(const char* block, const char* name, std::string& value) {
    std::size_t nameLength = std::strlen(name);
    for (const char* line = block; *line != '\0';) {
        if (strncasecmp(line, name, nameLength) == 0 && line[nameLength] == ':') {
            const char* at = line + nameLength + 1;
            value.clear();
            for (;;) {
                const char* end = at;
                while (*end != '\0' && *end != '\n')
                    ++end;
                const char* stop = end > at && end[-1] == '\r' ? end - 1 : end;
                value.append(at, static_cast<std::size_t>(stop - at));
                if (*end == '\0' || !IsBlank(end[1])) break;
                at = end + 1;
            }
            std::size_t start = 0;
            while (start < value.size() && IsBlank(value[start]))
                ++start;
            value.erase(0, start);
            return true;
        }
        const char* lf = std::strchr(line, '\n');
        if (lf == nullptr) break;
        line = lf + 1;
    }
    return false;
}

std::string MimeType(const std::string& value) {
    std::string type;
    std::size_t i = 0;
    while (i < value.size() && IsBlank(value[i]))
        ++i;
    for (; i < value.size() && value[i] != ';' && !IsBlank(value[i]); ++i)
        type += Lower(value[i]);
    return type;
}

std::string MimeParameter(const std::string& value, const char* name) {
    std::size_t nameLength = std::strlen(name);
    std::size_t at = value.find(';');
    while (at != std::string::npos) {
        ++at;
        while (at < value.size() && IsBlank(value[at]))
            ++at;
        std::size_t eq = value.find('=', at);
        if (eq == std::string::npos) return "";
        std::string key;
        for (std::size_t i = at; i < eq && !IsBlank(value[i]); ++i)
            key += Lower(value[i]);
        std::size_t v = eq + 1;
        while (v < value.size() && IsBlank(value[v]))
            ++v;
        std::string text;
        std::size_t next;
        if (v < value.size() && value[v] == '"') {
            std::size_t i = v + 1;
            for (; i < value.size() && value[i] != '"'; ++i) {
                if (value[i] == '\\' && i + 1 < value.size()) ++i;
                text += value[i];
            }
            next = value.find(';', i);
        } else {
            next = value.find(';', v);
            text = value.substr(v, next == std::string::npos ? next : next - v);
            while (!text.empty() && IsBlank(text.back()))
                text.pop_back();
        }
        bool plain = key.size() == nameLength && strncasecmp(key.c_str(), name, nameLength) == 0;
        bool extended = key.size() == nameLength + 1 && key.back() == '*' &&
                        strncasecmp(key.c_str(), name, nameLength) == 0;
        if (plain) return text;
        if (extended) return ExtendedValue(text);
        at = next;
    }
    return "";
}
