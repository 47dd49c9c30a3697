// Pieces the article generator's groups share: the random stream of each
// article, dates, filler text and the headers every article carries.
#pragma once

#include "article_generator.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace korvex_test {

// splitmix64: tiny, and the same sequence on every platform and compiler.
class Rng {
  public:
    explicit Rng(std::uint64_t seed) : state(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
    template <std::size_t N> const char* Pick(const char* const (&words)[N]) {
        return words[Below(static_cast<int>(N))];
    }

  private:
    std::uint64_t state;
};

// Each article has its own stream, so articles do not depend on each other.
Rng ArticleRng(int groupIndex, long number);

std::string Format(const char* format, long a, long b = 0);
// "Mon, 06 Jan 2020 00:10:00 +0000", ten minutes per article number.
std::string ArticleDate(int groupIndex, long number);
// Filler words up to at least `length` characters; no line end.
std::string TextLine(Rng& rng, std::size_t length);
std::string PlainBody(Rng& rng, int lines);
// A subject of a topic and a trouble ("kernel panic question").
std::string TopicSubject(Rng& rng);
// Path, From, Newsgroups, Subject, Date and Message-ID.
void AddCommonHeaders(GeneratedArticle& a, int groupIndex, const std::string& from,
                      const std::string& subject);
// Lines: the number of body lines.
void AddLines(GeneratedArticle& a);

// The modern group's article n: MIME headers and bodies (modern_articles.cpp).
GeneratedArticle ModernArticle(const GeneratedGroupInfo& g, long n);

} // namespace korvex_test
