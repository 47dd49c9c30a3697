#include "transfer_encoding.h"

namespace {

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Collects 6-bit groups and hands out whole bytes.
class Base64Sink {
  public:
    explicit Base64Sink(std::string& out) : out(out) {}
    void Add(int value) {
        bits = (bits << 6) | static_cast<unsigned>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    int Pending() const { return count; }

  private:
    std::string& out;
    unsigned bits = 0;
    int count = 0;
};

} // namespace

void DecodeBase64Body(const char* text, std::size_t length, std::string& out) {
    Base64Sink sink(out);
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] == '=') break;
        int v = Base64Value(text[i]);
        if (v >= 0) sink.Add(v);
    }
}

void DecodeQuotedPrintableBody(const char* text, std::size_t length, std::string& out) {
    for (std::size_t i = 0; i < length; ++i) {
        char c = text[i];
        if (c != '=') {
            out += c;
            continue;
        }
        std::size_t j = i + 1;
        while (j < length && (text[j] == ' ' || text[j] == '\t'))
            ++j;
        if (j < length && text[j] == '\n') { // soft line break
            i = j;
            continue;
        }
        if (i + 2 < length && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
            continue;
        }
        bool cutShort = j >= length || (i + 2 == length && HexValue(text[i + 1]) >= 0);
        if (cutShort) return;
        out += c;
    }
}

bool DecodeBase64Word(const char* text, std::size_t length, std::string& out) {
    std::size_t size = length;
    while (size > 0 && text[size - 1] == '=')
        --size;
    if (size % 4 == 1 || length - size > 2) return false;
    std::string bytes;
    Base64Sink sink(bytes);
    for (std::size_t i = 0; i < size; ++i) {
        int v = Base64Value(text[i]);
        if (v < 0) return false;
        sink.Add(v);
    }
    out += bytes;
    return true;
}

void DecodeQWord(const char* text, std::size_t length, std::string& out) {
    for (std::size_t i = 0; i < length; ++i) {
        char c = text[i];
        if (c == '_') {
            out += ' ';
        } else if (c == '=' && i + 2 < length && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
}
