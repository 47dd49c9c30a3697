// The wildmats asked of XPAT. Input as the pattern target's: one byte (bits
// 0-1: 0 all words, 1 any word, 2 phrase; bit 2: ignore case), the pattern up
// to the first LF, then the header value. Whenever the pattern gives wildmats,
// each fits in a command line, none matches every value alone ("*"), and a
// value the matcher accepts is matched by one of them, judged by the
// independent wildmat matcher of the tests.
#include "fuzz_check.h"
#include "pattern_input.h"

#include "matcher.h"
#include "server_filter.h"
#include "wildmat_check.h"

#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kvPatternInput in;
    if (!ReadPatternInput(data, size, in)) return 0;
    const int mode = in.mode;
    const auto ignoreCase = in.ignoreCase;
    const std::string& pattern = in.pattern;
    const std::string& value = in.value;

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
