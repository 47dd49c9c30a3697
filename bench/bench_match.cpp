// Header values judged per second by MatchHeader, in each match mode, over a
// realistic mix of subject lines (about one in fifty matching); and the same
// subjects sent as MIME encoded words, judged by MatchHeaderValue, which
// decodes them and folds their letters first.
#include "bench.h"
#include "matcher.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Subjects(int n) {
    const char* words[] = {"linux",   "kernel",   "question", "about",  "the",
                           "new",     "release",  "help",     "needed", "with",
                           "driver",  "printer",  "network",  "setup",  "compiling",
                           "problem", "announce", "version",  "patch",  "review"};
    std::vector<std::string> out;
    unsigned state = 12345;
    for (int i = 0; i < n; ++i) {
        std::string s = (i % 3 == 0) ? "re: " : "";
        int count = 5 + static_cast<int>(state % 8);
        for (int w = 0; w < count; ++w) {
            state = state * 1103515245u + 12345u;
            s += words[(state >> 16) % 20];
            s += ' ';
        }
        if (i % 50 == 0) s += "quasar ";
        s += "\r";
        out.push_back(s);
    }
    return out;
}

// The subject as encoded words: Q in UTF-8, B in ISO-8859-1, Q in KOI8-R.
std::string Encoded(const std::string& subject, int i) {
    static const char kBase64[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text = subject.substr(0, subject.size() - 1); // without the CR
    if (i % 3 == 1) {
        std::string out = "=?ISO-8859-1?B?";
        for (std::size_t k = 0; k < text.size(); k += 3) {
            unsigned v = static_cast<unsigned char>(text[k]) << 16;
            if (k + 1 < text.size()) v |= static_cast<unsigned char>(text[k + 1]) << 8;
            if (k + 2 < text.size()) v |= static_cast<unsigned char>(text[k + 2]);
            out += kBase64[(v >> 18) & 63];
            out += kBase64[(v >> 12) & 63];
            out += k + 1 < text.size() ? kBase64[(v >> 6) & 63] : '=';
            out += k + 2 < text.size() ? kBase64[v & 63] : '=';
        }
        return out + "?=\r";
    }
    std::string out = i % 3 == 0 ? "=?UTF-8?Q?caf=C3=A9_" : "=?KOI8-R?Q?=F0=D2=C9=D7=C5=D4_";
    for (char c : text)
        out += c == ' ' ? '_' : c;
    return out + "?=\r";
}

} // namespace

void kvBench::MatchHeaders() {
    const std::vector<std::string> values = Subjects(51200);
    struct Mode {
        const char* name;
        int mode;
        const char* pattern;
    } modes[] = {{"any word", MATCH_ANY_WORD, "quasar pulsar -spam"},
                 {"all words", MATCH_ALL_WORDS, "linux kernel -spam"},
                 {"phrase", MATCH_PHRASE, "printer network"}};
    for (const Mode& m : modes) {
        kvPattern p;
        ClearPattern(p);
        ParsePattern(p, m.pattern, m.mode, 1);
        long long matches = 0;
        int rounds = 0;
        double start = Seconds(), elapsed = 0;
        do {
            for (const std::string& v : values)
                matches += MatchHeader(p, v.c_str(), m.mode);
            ++rounds;
            elapsed = Seconds() - start;
        } while (elapsed < 0.5);
        sink = sink + matches;
        double perSecond = static_cast<double>(rounds) * values.size() / elapsed;
        std::printf("match %-9s: %.1f million headers/s (%lld matches in %d rounds of %zu)\n",
                    m.name, perSecond / 1e6, matches, rounds, values.size());
    }

    const std::vector<std::string> plain = Subjects(51200);
    std::vector<std::string> encoded;
    for (std::size_t i = 0; i < plain.size(); ++i)
        encoded.push_back(Encoded(plain[i], static_cast<int>(i)));
    kvPattern p;
    ClearPattern(p);
    ParsePattern(p, "QUASAR caf\xc3\xa9 -spam", MATCH_ALL_WORDS, 1);
    char value[600];
    long long matches = 0;
    int rounds = 0;
    double start = Seconds(), elapsed = 0;
    do {
        for (const std::string& v : encoded) {
            std::memcpy(value, v.c_str(), v.size() + 1); // judged in place, as the scan does
            matches += MatchHeaderValue(p, value, MATCH_ALL_WORDS);
        }
        ++rounds;
        elapsed = Seconds() - start;
    } while (elapsed < 0.5);
    sink = sink + matches;
    double perSecond = static_cast<double>(rounds) * encoded.size() / elapsed;
    std::printf("match encoded  : %.1f million headers/s (%lld matches in %d rounds of %zu)\n",
                perSecond / 1e6, matches, rounds, encoded.size());
}
