// The input the pattern targets share: one byte (bits 0-1: 0 all words, 1 any
// word, 2 phrase, 3 taken as any word; bit 2: ignore case), the pattern up to
// the first LF, then the header value; each cut at its first NUL and to the
// size the program holds.
#pragma once

#include "records.h"

#include <cstddef>
#include <cstdint>
#include <string>

struct kvPatternInput {
    int mode = MATCH_ANY_WORD;
    bool ignoreCase = false;
    std::string pattern;
    std::string value;
};

// False when the input is too short to hold the option byte.
inline bool ReadPatternInput(const std::uint8_t* data, std::size_t size, kvPatternInput& in) {
    if (size < 1) return false;
    in.mode = data[0] & 3;
    if (in.mode == 3) in.mode = MATCH_ANY_WORD;
    in.ignoreCase = (data[0] & 4) != 0;
    std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    std::size_t lf = rest.find('\n');
    in.pattern = rest.substr(0, lf).c_str();
    in.value = lf == std::string::npos ? "" : rest.substr(lf + 1).c_str();
    if (in.pattern.size() >= KV_PATTERN_SIZE) in.pattern.resize(KV_PATTERN_SIZE - 1);
    if (in.value.size() >= KV_FIELD_SIZE) in.value.resize(KV_FIELD_SIZE - 1);
    return true;
}
