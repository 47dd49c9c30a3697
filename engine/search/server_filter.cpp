#include "server_filter.h"

#include "article_store.h"
#include "header_replies.h"

#include <algorithm>
#include <cstring>
#include <vector>

// What INN 2.7's nnrpd was measured to do with XPAT (korvex.test.big, .mixed):
// - the arguments after the range are joined with single blanks into one
//   pattern ("*keystone *ember*" matches nothing, though each word alone
//   does), and a comma is an ordinary character ("*ember*,*keystone*"
//   matches nothing either): there are no alternatives in one XPAT, so each
//   alternative is asked with an XPAT of its own;
// - "?" matches any one character, "*" any run; "[Oo]" classes work ("[^k]"
//   negates, "[!k]" is '!' or 'k'); "\" escapes (a trailing "\" matches
//   nothing); a leading "!" is not a negation;
// - the value matched is the one XHDR lists, byte for byte and case-sensitive;
// - 8-bit bytes: "*[Cc][Aa][Ff]\xe9*" (Latin-1) and "*[Cc][Aa][Ff]\xc3\xa9*"
//   (UTF-8) each found exactly the values holding those bytes, but "?"
//   matches one UTF-8 character ("*Caf?[ ]*" matched "Caf\xc3\xa9 ", "??"
//   did not), so the server reads values as characters where they are
//   UTF-8. How another server compares 8-bit bytes is not known: a word
//   holding one is not narrowed (left to the full scan).
// Each byte special to some wildmat dialect (* ? [ ] \ , ! @ ^) is written
// as "?", which matches it in every dialect; a blank or tab becomes "*", as a
// server may fold or show them differently; letters become "[Xx]" classes
// when case is ignored.

namespace {

bool IsSpecial(unsigned char c) {
    return std::strchr("*?[]\\,!@^", c) != nullptr;
}

// One word as a wildmat fragment (without the surrounding "*"). False when
// a byte cannot be written safely.
bool AppendWord(std::string& out, const char* word, bool ignoreCase) {
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(word); *c != 0; ++c) {
        if (*c == ' ' || *c == '\t') {
            if (out.empty() || out.back() != '*') out += '*';
        } else if (*c < 0x20 || *c >= 0x7F) {
            return false; // control or 8-bit: servers differ on how they compare these
        } else if (IsSpecial(*c)) {
            out += '?';
        } else if (ignoreCase && *c >= 'a' && *c <= 'z') {
            out += '[';
            out += static_cast<char>(*c - 'a' + 'A');
            out += static_cast<char>(*c);
            out += ']';
        } else {
            out += static_cast<char>(*c);
        }
    }
    return true;
}

// Each fragment as "*fragment*", and an alternative for values holding
// encoded words (matched by their decoded text, which the server never
// sees). A fragment too long for a command is cut: a shorter start of a word
// still matches every value holding the word.
bool Wrap(const std::vector<std::string>& fragments, std::vector<std::string>& wildmats) {
    wildmats.clear();
    for (std::string f : fragments) {
        while (f.size() + 2 > KV_WILDMAT_MAX) // a class is cut whole
            f.erase(f.back() == ']' ? f.rfind('[') : f.size() - 1);
        if (f.empty() || f == "*") return false; // it would match every value
        std::string w = f.front() == '*' ? f : "*" + f;
        if (w.back() != '*') w += '*';
        wildmats.push_back(w);
    }
    wildmats.push_back("*=?*");
    return true;
}

} // namespace

bool DeriveServerFilter(const kvPattern& p, int matchMode, std::vector<std::string>& wildmats) {
    std::vector<std::string> fragments;
    if (matchMode == MATCH_PHRASE) {
        std::string f;
        if (p.phrase[0] == '\0' || !AppendWord(f, p.phrase, p.ignoreCase)) return false;
        fragments.push_back(f);
        return Wrap(fragments, wildmats);
    }
    // The words the matcher looks at: those up to the first unused slot.
    std::size_t bestLength = 0;
    std::string best;
    for (int i = 0; i < p.wordCount && p.used[i]; ++i) {
        if (p.negated[i]) continue;
        std::string f;
        bool written = AppendWord(f, p.words[i], p.ignoreCase);
        if (matchMode == MATCH_ALL_WORDS) {
            // Every word must be there: the longest one that can be written
            // alone narrows the most.
            std::size_t length = std::strlen(p.words[i]);
            if (written && length > bestLength) {
                bestLength = length;
                best = f;
            }
        } else {
            if (!written) return false; // any word may be the one found
            fragments.push_back(f);
        }
    }
    if (matchMode == MATCH_ALL_WORDS && bestLength > 0) fragments.push_back(best);
    if (fragments.empty()) return false; // only excluded words: most values match
    return Wrap(fragments, wildmats);
}

bool kvXpatLines::Add(const char* response, std::size_t length, long low, long high) {
    const char* at = static_cast<const char*>(std::memchr(response, '\n', length));
    if (at == nullptr) return true;
    const char* end = response + length;
    std::size_t before = lines.size();
    for (++at; at < end;) {
        const char* lf =
            static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
        std::size_t n = static_cast<std::size_t>((lf != nullptr ? lf : end) - at);
        // Only the terminating "." ends the list; a dot-stuffed line is data.
        if (at[0] == '.' && (n == 1 || (n == 2 && at[1] == '\r'))) break;
        long number = 0;
        std::size_t i = 0;
        for (; i < n && at[i] >= '0' && at[i] <= '9'; ++i) {
            if (number > (high - (at[i] - '0')) / 10) break; // beyond high already
            number = number * 10 + (at[i] - '0');
        }
        bool numbered = i > 0 && (i == n || at[i] == ' ' || at[i] == '\t' || at[i] == '\r');
        if (!numbered || number < low || number > high) {
            lines.resize(before);
            return false;
        }
        lines.emplace_back(number, std::string(at, n));
        at = lf != nullptr ? lf + 1 : end;
    }
    return true;
}

void kvXpatLines::Merge() {
    std::stable_sort(lines.begin(), lines.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    lines.erase(std::unique(lines.begin(), lines.end(),
                            [](const auto& a, const auto& b) { return a.first == b.first; }),
                lines.end());
}

char* kvXpatLines::Value(std::size_t i, char* line, std::size_t capacity) const {
    // Read as the list scan reads a line of XHDR, so that a value is matched alike.
    const std::string& raw = lines[i].second;
    CopyWithoutNul(line, capacity, raw.data(), raw.size());
    char* value = nullptr;
    ParseNumberedLine(line, value);
    return value;
}
