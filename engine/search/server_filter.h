// Pre-filtering on the server: the wildmat that XPAT is asked with, derived
// from the parsed pattern so that every value the matcher accepts is matched
// by it (it may match more: each line XPAT returns is matched again here), and
// the check of an XPAT reply before any of its lines is trusted.
#pragma once

#include "matcher.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// The longest wildmat derived: it leaves room in a 512-byte command line for
// "XPAT", the header name and the range.
constexpr std::size_t KV_WILDMAT_MAX = 400;

// The wildmats (each "*...*") such that every value MatchHeaderValue accepts
// for `pattern` in `matchMode` is matched by at least one of them. False when
// the pattern cannot be narrowed that way (an empty pattern or phrase, only
// excluded words, a word holding a control or 8-bit byte): the scan then
// lists every value. Each wildmat is asked with an XPAT of its own.
bool DeriveServerFilter(const kvPattern& pattern, int matchMode,
                        std::vector<std::string>& wildmats);

// The lines of the XPAT responses for one chunk, one per wildmat, merged.
class kvXpatLines {
  public:
    void Clear() { lines.clear(); }
    // Adds the lines of an XPAT response (status line, "number value" lines,
    // "."), already answered 221. False, and nothing added, when a line does
    // not start with an article number from low to high: the server did not
    // filter as asked.
    bool Add(const char* response, std::size_t length, long low, long high);
    // Sorts by number and drops a number listed again: then Line(i) is the
    // i-th article in the order the list command gives them.
    void Merge();
    std::size_t Count() const { return lines.size(); }
    long Number(std::size_t i) const { return lines[i].first; }
    // The line copied into `line` as the list scan copies a line of XHDR (NUL
    // bytes left out, cut to capacity-1); the value in it, or null when the
    // line holds none.
    char* Value(std::size_t i, char* line, std::size_t capacity) const;

  private:
    std::vector<std::pair<long, std::string>> lines; // number, the line as sent
};
