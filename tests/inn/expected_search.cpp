#include "expected_search.h"

#include <algorithm>
#include <climits>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <cwctype>
#include <locale.h>
#endif

namespace korvex_test {
namespace {

constexpr long kMostHeaders = 51200;
constexpr long kMostArticles = 1024;
constexpr std::size_t kLineKept = 511; // bytes of one header-list line the client keeps
constexpr std::size_t kWordKept = 24;
constexpr std::size_t kMostWords = 10;

std::string Folded(std::string text, int ignoreCase) {
    if (ignoreCase == 1)
        for (char& c : text)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The small letter of a code point by the Unicode simple case mapping, taken
// from the system: the C library's UTF-8 locale on POSIX, the invariant
// locale's table on Windows.
char32_t LowerCodePoint(char32_t point) {
#ifdef _WIN32
    // Letters the Windows table leaves alone that the UTF-8 locale lowers:
    // capital I with dot, the title-case digraphs, capital theta symbol, capital
    // sharp s and the Ohm, Kelvin and Angstrom signs.
    static const std::pair<char32_t, char32_t> kAlsoLowered[] = {
        {0x0130, 0x0069}, {0x01C5, 0x01C6}, {0x01C8, 0x01C9}, {0x01CB, 0x01CC}, {0x01F2, 0x01F3},
        {0x03F4, 0x03B8}, {0x1E9E, 0x00DF}, {0x2126, 0x03C9}, {0x212A, 0x006B}, {0x212B, 0x00E5}};
    for (const auto& pair : kAlsoLowered)
        if (pair.first == point) return pair.second;
    wchar_t in[2];
    int length = 1;
    if (point < 0x10000) {
        in[0] = static_cast<wchar_t>(point);
    } else {
        in[0] = static_cast<wchar_t>(0xD800 + ((point - 0x10000) >> 10));
        in[1] = static_cast<wchar_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
        length = 2;
    }
    wchar_t out[4];
    int n = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, in, length, out, 4, nullptr,
                          nullptr, 0);
    if (n == 1 && (out[0] < 0xD800 || out[0] >= 0xE000)) return out[0];
    if (n == 2 && out[0] >= 0xD800 && out[0] < 0xDC00 && out[1] >= 0xDC00 && out[1] < 0xE000)
        return 0x10000 + ((static_cast<char32_t>(out[0]) - 0xD800) << 10) +
               (static_cast<char32_t>(out[1]) - 0xDC00);
    return point;
#else
    static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (utf8 == static_cast<locale_t>(0)) return point;
    return static_cast<char32_t>(towlower_l(static_cast<wint_t>(point), utf8));
#endif
}

// UTF-8 text with every letter lower-cased (LowerCodePoint); text that is not
// UTF-8 is first read as Latin-1.
std::string LowerUnicode(const std::string& text) {
    std::u32string points;
    bool valid = true;
    for (std::size_t i = 0; i < text.size() && valid;) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        int more = c < 0x80 ? 0 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : -1;
        if (more < 0 || i + static_cast<std::size_t>(more) >= text.size()) {
            valid = false;
            break;
        }
        char32_t point = more == 0 ? c : c & (0x3F >> more);
        for (int k = 1; k <= more; ++k) {
            unsigned char next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80) valid = false;
            point = (point << 6) | (next & 0x3F);
        }
        points += point;
        i += static_cast<std::size_t>(more) + 1;
    }
    if (!valid) {
        points.clear();
        for (char c : text)
            points += static_cast<unsigned char>(c);
    }
    std::string out;
    for (char32_t p : points) {
        p = LowerCodePoint(p);
        if (p < 0x80) {
            out += static_cast<char>(p);
        } else if (p < 0x800) {
            out += static_cast<char>(0xC0 | (p >> 6));
            out += static_cast<char>(0x80 | (p & 0x3F));
        } else if (p < 0x10000) {
            out += static_cast<char>(0xE0 | (p >> 12));
            out += static_cast<char>(0x80 | ((p >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (p & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (p >> 18));
            out += static_cast<char>(0x80 | ((p >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((p >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (p & 0x3F));
        }
    }
    return out;
}

bool Blank(char c) {
    return c == ' ' || c == '\t';
}

struct Word {
    std::string text;
    bool negated;
};

std::vector<Word> Words(const std::string& pattern) {
    std::vector<Word> words;
    std::size_t i = 0;
    while (i < pattern.size() && Blank(pattern[i]))
        ++i;
    while (i < pattern.size() && words.size() < kMostWords) {
        Word word{"", false};
        if (pattern[i] == '-' && i + 1 < pattern.size() && !Blank(pattern[i + 1])) {
            word.negated = true;
            ++i;
        }
        if (pattern[i] == '"') {
            std::size_t close = pattern.find('"', i + 1);
            if (close == std::string::npos) close = pattern.size();
            word.text = pattern.substr(i + 1, close - i - 1);
            i = close + 1;
        } else {
            std::size_t end = i;
            while (end < pattern.size() && !Blank(pattern[end]))
                ++end;
            word.text = pattern.substr(i, end - i);
            i = end;
        }
        word.text = word.text.substr(0, kWordKept);
        words.push_back(word);
        while (i < pattern.size() && Blank(pattern[i]))
            ++i;
    }
    return words;
}

// The value as the client reads it from an XHDR line: "N value" plus the CR
// before the LF, of which it keeps the first 511 bytes.
std::string ListedValue(long number, const std::string& value) {
    std::string line = std::to_string(number) + " " + value + "\r";
    if (line.size() > kLineKept) line.resize(kLineKept);
    return line.substr(line.find(' ') + 1);
}

long Limit(const std::string& text, long all, long most) {
    if (text == "all") return all;
    long n = std::stol(text);
    if (n < 1) return all;
    return std::min(n, most);
}

} // namespace

bool ReferenceMatch(const std::string& pattern, int matchMode, int ignoreCase,
                    const std::string& value, bool decoded) {
    std::string folded =
        decoded && ignoreCase == 1 ? LowerUnicode(value) : Folded(value, ignoreCase);
    std::string p = decoded ? LowerUnicode(pattern) : Folded(pattern, ignoreCase);
    if (decoded && ignoreCase != 1) p = pattern; // taken as UTF-8, unchanged
    if (matchMode == 2) {
        std::size_t start = p.find_first_not_of(" \t");
        return folded.find(start == std::string::npos ? "" : p.substr(start)) != std::string::npos;
    }
    bool anyPositive = false;
    bool allFound = true;
    bool anyFound = false;
    for (const Word& word : Words(p)) {
        bool found = folded.find(word.text) != std::string::npos;
        if (word.negated) {
            if (found) return false;
            continue;
        }
        anyPositive = true;
        allFound = allFound && found;
        anyFound = anyFound || found;
    }
    if (!anyPositive) return true;
    return matchMode == 0 ? allFound : anyFound;
}

ExpectedSearch Expect(const std::vector<GeneratedArticle>& articles, const SearchQuery& query) {
    ExpectedSearch expected;
    // "whole": every number of the group, however many.
    long headerLimit = query.maxHeaders == "whole"
                           ? LONG_MAX
                           : Limit(query.maxHeaders, kMostHeaders, kMostHeaders);
    long articleLimit = Limit(query.maxArticles, kMostArticles, kMostArticles);
    long last = static_cast<long>(articles.size());
    expected.lowest = last > headerLimit ? last - headerLimit + 1 : 1;
    // Chunks of 500 numbers from the newest down; each chunk listed in ascending order.
    for (long high = last; high >= expected.lowest; high -= 500) {
        long low = std::max(high - 499, expected.lowest);
        for (long n = low; n <= high; ++n) {
            const GeneratedArticle& article = articles[static_cast<std::size_t>(n - 1)];
            const std::string* value = article.Header(query.header);
            if (value == nullptr) continue; // the server does not list it
            // A value whose encoded words decode is matched as a reader reads it.
            const std::string* readable = article.ReadableHeader(query.header);
            bool decoded = readable != value;
            if (ReferenceMatch(query.pattern, query.matchMode, query.ignoreCase,
                               decoded ? *readable : ListedValue(n, *value), decoded))
                expected.matches.push_back(n);
        }
        if (low == expected.lowest) break;
    }
    for (auto it = expected.matches.rbegin();
         it != expected.matches.rend() &&
         static_cast<long>(expected.fetchOrder.size()) < articleLimit;
         ++it)
        expected.fetchOrder.push_back(*it);
    return expected;
}

std::vector<long> GroupedBySubject(const std::vector<GeneratedArticle>& articles,
                                   const std::vector<long>& fetchOrder) {
    auto key = [&](long n) {
        std::string subject =
            articles[static_cast<std::size_t>(n - 1)].Header("Subject")->substr(0, kLineKept);
        bool reply = subject.size() >= 4 && (subject[0] == 'R' || subject[0] == 'r') &&
                     (subject[1] == 'E' || subject[1] == 'e') && subject[2] == ':' &&
                     subject[3] == ' ';
        return reply ? subject.substr(4) : subject;
    };
    std::vector<long> order = fetchOrder;
    for (std::size_t i = 0; i + 2 < order.size(); ++i) {
        for (std::size_t j = i + 1; j < order.size(); ++j) {
            if (key(order[j]) != key(order[i])) continue;
            std::swap(order[i + 1], order[j]);
            break;
        }
    }
    return order;
}

} // namespace korvex_test
