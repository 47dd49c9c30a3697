#include "wildmat_check.h"

#include <cstddef>

namespace {

// Whether the item at pattern[p] matches byte c; `next` is set after the item.
// A broken class or a trailing backslash matches nothing.
bool ItemMatches(const std::string& pattern, std::size_t p, unsigned char c, std::size_t& next) {
    if (pattern[p] == '?') {
        next = p + 1;
        return true;
    }
    if (pattern[p] == '\\') {
        next = p + 2;
        return p + 1 < pattern.size() && static_cast<unsigned char>(pattern[p + 1]) == c;
    }
    if (pattern[p] != '[') {
        next = p + 1;
        return static_cast<unsigned char>(pattern[p]) == c;
    }
    std::size_t q = p + 1;
    bool negate = q < pattern.size() && pattern[q] == '^';
    if (negate) ++q;
    bool in = false;
    bool firstItem = true;
    for (; q < pattern.size() && (pattern[q] != ']' || firstItem); firstItem = false) {
        unsigned char from = static_cast<unsigned char>(pattern[q]);
        unsigned char to = from;
        if (q + 2 < pattern.size() && pattern[q + 1] == '-' && pattern[q + 2] != ']') {
            to = static_cast<unsigned char>(pattern[q + 2]);
            q += 3;
        } else {
            ++q;
        }
        if (c >= from && c <= to) in = true;
    }
    if (q >= pattern.size()) { // no closing bracket
        next = pattern.size();
        return false;
    }
    next = q + 1;
    return in != negate;
}

bool MatchFrom(const std::string& pattern, std::size_t p, const std::string& text, std::size_t t) {
    while (p < pattern.size()) {
        if (pattern[p] == '*') {
            while (p < pattern.size() && pattern[p] == '*')
                ++p;
            if (p == pattern.size()) return true;
            for (std::size_t from = t; from <= text.size(); ++from)
                if (MatchFrom(pattern, p, text, from)) return true;
            return false;
        }
        if (t >= text.size()) return false;
        std::size_t next = 0;
        if (!ItemMatches(pattern, p, static_cast<unsigned char>(text[t]), next)) return false;
        p = next;
        ++t;
    }
    return t == text.size();
}

} // namespace

bool TestWildmatMatches(const std::string& pattern, const std::string& text) {
    return MatchFrom(pattern, 0, text, 0);
}
