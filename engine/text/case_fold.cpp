#include "case_fold.h"

#include "utf8_text.h"

namespace {

// Capital and small letter alternate within [first, last]: the capital on
// the even (or odd) positions, its small letter right after it.
struct PairRange {
    std::uint32_t first;
    std::uint32_t last;
};

const PairRange kPairs[] = {
    {0x0100, 0x012F}, {0x0132, 0x0137}, {0x0139, 0x0148}, {0x014A, 0x0177}, {0x0179, 0x017E},
    {0x0460, 0x0481}, {0x048A, 0x04BF}, {0x04C1, 0x04CE}, {0x04D0, 0x052F}, {0x03D8, 0x03EF},
};

} // namespace

std::uint32_t FoldCodePoint(std::uint32_t c) {
    if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 0x20 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    if (c == 0x0130) return 'i';
    if (c == 0x0178) return 0xFF;
    if (c == 0x017F) return 's';
    // Greek
    if (c >= 0x0391 && c <= 0x03AB && c != 0x03A2) return c + 0x20;
    if (c == 0x0386) return 0x03AC;
    if (c >= 0x0388 && c <= 0x038A) return c + 0x25;
    if (c == 0x038C) return 0x03CC;
    if (c == 0x038E || c == 0x038F) return c + 0x3F;
    if (c == 0x03C2) return 0x03C3;
    // Cyrillic
    if (c >= 0x0410 && c <= 0x042F) return c + 0x20;
    if (c >= 0x0400 && c <= 0x040F) return c + 0x50;
    for (const PairRange& r : kPairs)
        if (c >= r.first && c <= r.last) return ((c - r.first) % 2 == 0) ? c + 1 : c;
    return c;
}

void FoldCaseUtf8(const std::string& text, std::string& folded) {
    folded.clear();
    const char* at = text.c_str();
    const char* end = at + text.size();
    while (at < end)
        AppendCodePoint(folded, FoldCodePoint(NextCodePoint(at)));
}
