// The wildmats asked of XPAT. Input as the pattern target's: one byte (bits
// 0-1: 0 all words, 1 any word, 2 phrase; bit 2: ignore case), the pattern up
// to the first LF, then the header value. Whenever the pattern gives wildmats,
// each fits in a command line, none matches every value alone ("*"), and a
// value the matcher accepts is matched by one of them, judged by the
// independent wildmat matcher of the tests.
#include "fuzz_check.h"

#include "matcher.h"
#include "server_filter.h"
#include "wildmat_check.h"

#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    int mode = data[0] & 3;
    if (mode == 3) mode = MATCH_ANY_WORD;
    bool ignoreCase = (data[0] & 4) != 0;
    std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    std::size_t lf = rest.find('\n');
    std::string pattern = rest.substr(0, lf).c_str();
    std::string value = lf == std::string::npos ? "" : rest.substr(lf + 1).c_str();
    if (pattern.size() >= KV_PATTERN_SIZE) pattern.resize(KV_PATTERN_SIZE - 1);
    if (value.size() >= KV_FIELD_SIZE) value.resize(KV_FIELD_SIZE - 1);

    kvPattern p;
    ClearPattern(p);
    ParsePattern(p, pattern.c_str(), mode, ignoreCase);
    std::vector<std::string> wildmats;
    bool narrowed = DeriveServerFilter(p, mode, wildmats);
    if (narrowed) {
        FUZZ_CHECK(!wildmats.empty());
        for (const std::string& w : wildmats) {
            FUZZ_CHECK(w.size() <= KV_WILDMAT_MAX);
            FUZZ_CHECK(w.find_first_of(" \r\n") == std::string::npos); // one argument
            FUZZ_CHECK(w != "*" && w != "**");
        }
        char field[KV_FIELD_SIZE];
        std::memcpy(field, value.c_str(), value.size() + 1);
        if (MatchHeaderValue(p, field, mode)) {
            bool listed = false;
            for (const std::string& w : wildmats)
                listed = listed || TestWildmatMatches(w, value);
            FUZZ_CHECK(listed);
        }
    }
    FreePatternWords(p);
    return 0;
}
