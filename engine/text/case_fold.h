// Case folding of decoded UTF-8 text for case-insensitive matching: A-Z as
// always, and the capital letters of Latin-1, Latin Extended-A, Greek and
// Cyrillic mapped to their small letters (final sigma to sigma). Other
// characters stay as they are.
#pragma once

#include <cstdint>
#include <string>

std::uint32_t FoldCodePoint(std::uint32_t codePoint);

// Writes valid UTF-8 text (as the decoders make it) folded into `folded`,
// replacing what it held.
void FoldCaseUtf8(const std::string& text, std::string& folded);
