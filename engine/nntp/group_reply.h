// The reply to GROUP: the article count and the range of article numbers.
#pragma once

// An article number from 0 to 2^31-1 (a sign allowed), however wide long is:
// false for anything larger, so "2147483648" is refused where long is 32-bit too.
// Reading stops at the first byte that is not a digit (none at all reads 0).
bool DecodeArticleNumber(const char* at, long& number);

// Reads the three numbers of a 211 reply ("211 count first last group"), each
// the number that starts after the next blank. False when the reply does not
// carry three numbers from 0 to 2^31-1.
bool ParseGroupReply(const char* reply, long& count, long& first, long& last);
