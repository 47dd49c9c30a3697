// Header values judged per second by MatchHeader, in each match mode, over a
// realistic mix of subject lines (about one in fifty matching).
#include "bench.h"
#include "matcher.h"

#include <cstdio>
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

} // namespace

void bench::MatchHeaders() {
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
}
