#include "group_wildmat.h"

#include <cstring>

namespace {

constexpr const char* kWildcards = "*?[\\";

std::vector<std::string> SplitItems(const std::string& text) {
    std::vector<std::string> items;
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = text.find(',', start);
        items.push_back(text.substr(start, comma == std::string::npos ? comma : comma - start));
        if (comma == std::string::npos) return items;
        start = comma + 1;
    }
}

// Matches the set at p (just past its '[') against c; moves p past the ']'.
// False for a set that is not closed.
bool MatchSet(const char*& p, char c, bool& matched) {
    bool negated = *p == '^' || *p == '!';
    if (negated) ++p;
    bool inSet = false;
    bool first = true;
    while (*p != '\0' && (first || *p != ']')) {
        first = false;
        char low = *p;
        if (low == '\\' && p[1] != '\0') low = *++p;
        char high = low;
        if (p[1] == '-' && p[2] != '\0' && p[2] != ']') {
            high = p[2];
            if (high == '\\' && p[3] != '\0') {
                high = p[3];
                ++p;
            }
            p += 2;
        }
        if (static_cast<unsigned char>(c) >= static_cast<unsigned char>(low) &&
            static_cast<unsigned char>(c) <= static_cast<unsigned char>(high))
            inSet = true;
        ++p;
    }
    if (*p != ']') return false;
    ++p;
    matched = inSet != negated;
    return true;
}

// One pattern (no commas, no leading '!') against the whole of text.
bool MatchOne(const char* p, const char* text) {
    while (*p != '\0') {
        if (*p == '*') {
            while (*p == '*')
                ++p;
            if (*p == '\0') return true;
            for (const char* t = text; *t != '\0'; ++t)
                if (MatchOne(p, t)) return true;
            return false;
        }
        if (*text == '\0') return false;
        if (*p == '?') {
            ++p;
        } else if (*p == '[') {
            ++p;
            bool matched = false;
            if (!MatchSet(p, *text, matched) || !matched) return false;
        } else {
            if (*p == '\\' && p[1] != '\0') ++p;
            if (*p != *text) return false;
            ++p;
        }
        ++text;
    }
    return *text == '\0';
}

bool SetClosed(const std::string& item) {
    for (std::size_t i = 0; i < item.size(); ++i) {
        if (item[i] == '\\') {
            ++i;
        } else if (item[i] == '[') {
            const char* p = item.c_str() + i + 1;
            bool matched = false;
            if (!MatchSet(p, 'a', matched)) return false;
            i = static_cast<std::size_t>(p - item.c_str()) - 1;
        }
    }
    return true;
}

} // namespace

bool IsGroupSelection(const char* text) {
    return std::strchr(text, ',') != nullptr || HasGroupPattern(text);
}

bool HasGroupPattern(const std::string& text) {
    return text.find('!') != std::string::npos ||
           text.find_first_of(kWildcards) != std::string::npos;
}

bool CheckGroupSelection(const std::string& text, std::string& why) {
    bool anyTaken = false;
    for (const std::string& item : SplitItems(text)) {
        std::string body = !item.empty() && item[0] == '!' ? item.substr(1) : item;
        if (body.empty()) {
            why = "an empty item in the group list";
            return false;
        }
        for (char c : body) {
            if (static_cast<unsigned char>(c) <= ' ' || c == '\x7f') {
                why = "a space or control character in the group list";
                return false;
            }
        }
        std::size_t slashes = body.size() - body.find_last_not_of('\\') - 1;
        if (slashes % 2 == 1) {
            why = "\"" + item + "\" ends with a lone '\\'";
            return false;
        }
        if (!SetClosed(body)) {
            why = "\"" + item + "\" has a '[' without its ']'";
            return false;
        }
        if (item[0] != '!') anyTaken = true;
    }
    if (!anyTaken) {
        why = "the group list only excludes groups";
        return false;
    }
    return true;
}

bool WildmatMatches(const std::string& wildmat, const std::string& name) {
    bool taken = false;
    for (const std::string& item : SplitItems(wildmat)) {
        bool exclude = !item.empty() && item[0] == '!';
        if (MatchOne(item.c_str() + (exclude ? 1 : 0), name.c_str())) taken = !exclude;
    }
    return taken;
}

std::vector<std::string> PlainGroupItems(const std::string& text) {
    std::vector<std::string> plain;
    for (const std::string& item : SplitItems(text))
        if (!item.empty() && item[0] != '!' && item.find_first_of(kWildcards) == std::string::npos)
            plain.push_back(item);
    return plain;
}
