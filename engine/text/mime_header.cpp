#include "mime_header.h"

#include "charset.h"
#include "transfer_encoding.h"
#include "utf8_text.h"

#include <cstring>
#include <strings.h>
#include <vector>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

struct EncodedWord {
    std::size_t start = 0, end = 0; // the word's bytes in the value, "=?" to "?="
    std::string charset;
    std::string bytes; // the text with Q or B undone
};

// Parses an encoded word at raw[at]; false when there is none or its text
// does not decode.
bool ParseWord(const char* raw, std::size_t at, EncodedWord& word) {
    if (raw[at] != '=' || raw[at + 1] != '?') return false;
    std::size_t i = at + 2;
    std::size_t charsetStart = i;
    while (raw[i] != '\0' && raw[i] != '?' && !IsBlank(raw[i]))
        ++i;
    if (raw[i] != '?' || i == charsetStart) return false;
    char kind = raw[i + 1];
    if (kind == '\0' || std::strchr("bBqQ", kind) == nullptr || raw[i + 2] != '?') return false;
    std::size_t textStart = i + 3;
    const char* close = std::strstr(raw + textStart, "?=");
    if (close == nullptr) return false;
    std::size_t textEnd = static_cast<std::size_t>(close - raw);
    for (std::size_t k = textStart; k < textEnd; ++k)
        if (IsBlank(raw[k])) return false;
    word.start = at;
    word.end = textEnd + 2;
    word.charset.assign(raw + charsetStart, i - charsetStart);
    word.bytes.clear();
    if (kind == 'b' || kind == 'B')
        return DecodeBase64Word(raw + textStart, textEnd - textStart, word.bytes);
    DecodeQWord(raw + textStart, textEnd - textStart, word.bytes);
    return true;
}

// Bytes of the value as they are: unchanged when the whole value is valid
// UTF-8, else each byte as a Latin-1 character (an encoded word may hold 8-bit
// bytes too, and one that does not convert is kept by this rule).
void AppendRawBytes(std::string& out, const char* raw, std::size_t from, std::size_t to,
                    bool rawIsUtf8) {
    if (rawIsUtf8)
        out.append(raw + from, to - from);
    else
        for (std::size_t k = from; k < to; ++k)
            AppendCodePoint(out, static_cast<unsigned char>(raw[k]));
}

bool SameCharset(const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

// Encoded words next to each other (only blanks between), awaiting conversion.
class WordRun {
  public:
    WordRun(const char* raw, bool rawIsUtf8, std::string& out)
        : raw(raw), rawIsUtf8(rawIsUtf8), out(out) {}

    bool Empty() const { return words.empty(); }
    void Add(const EncodedWord& w) { words.push_back(w); }

    // Appends the run. Neighbouring words of one charset are converted
    // together when possible, else word by word; a word that does not convert
    // keeps its original text, and the blanks next to it stay.
    void Flush() {
        std::size_t n = words.size();
        std::vector<std::string> texts(n);
        std::vector<bool> ok(n, false);
        for (std::size_t k = 0; k < n;) {
            std::size_t j = k;
            std::string joined = words[k].bytes;
            while (j + 1 < n && SameCharset(words[j + 1].charset, words[k].charset))
                joined += words[++j].bytes;
            if (AppendInCharset(texts[k], words[k].charset, joined.data(), joined.size(),
                                kvConvert::Strict)) {
                for (std::size_t m = k; m <= j; ++m)
                    ok[m] = true;
            } else {
                for (std::size_t m = k; m <= j; ++m)
                    ok[m] = AppendInCharset(texts[m], words[m].charset, words[m].bytes.data(),
                                            words[m].bytes.size(), kvConvert::Strict);
            }
            k = j + 1;
        }
        for (std::size_t k = 0; k < n; ++k) {
            const EncodedWord& w = words[k];
            if (k > 0 && (!ok[k] || !ok[k - 1]))
                AppendRawBytes(out, raw, words[k - 1].end, w.start, rawIsUtf8);
            if (ok[k]) {
                out += texts[k];
                decodedAny = true;
            } else {
                AppendRawBytes(out, raw, w.start, w.end, rawIsUtf8);
            }
        }
        words.clear();
    }

    bool decodedAny = false;

  private:
    const char* raw;
    bool rawIsUtf8;
    std::string& out;
    std::vector<EncodedWord> words;
};

} // namespace

bool DecodeEncodedWords(const char* raw, std::string& out) {
    out.clear();
    std::size_t length = std::strlen(raw);
    bool rawIsUtf8 = IsValidUtf8(raw, length); // encoded words are ASCII: they change nothing
    auto appendRaw = [&](std::size_t from, std::size_t to) {
        AppendRawBytes(out, raw, from, to, rawIsUtf8);
    };

    WordRun run(raw, rawIsUtf8, out);
    EncodedWord word;
    std::size_t plainStart = 0; // first byte not yet written or held in the run
    std::size_t i = 0;
    while (i < length) {
        if (!ParseWord(raw, i, word)) {
            ++i;
            continue;
        }
        bool onlyBlanks = true;
        for (std::size_t k = plainStart; k < i && onlyBlanks; ++k)
            onlyBlanks = IsBlank(raw[k]);
        if (!onlyBlanks || run.Empty()) {
            run.Flush();
            appendRaw(plainStart, i);
        }
        run.Add(word);
        i = plainStart = word.end;
    }
    run.Flush();
    appendRaw(plainStart, length);
    return run.decodedAny;
}

std::string ReadableHeader(const char* raw) {
    std::string decoded;
    if (!DecodeEncodedWords(raw, decoded)) return ReadableText(raw);
    return ReadableText(decoded.data(), decoded.size(), false);
}
