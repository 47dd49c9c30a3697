// Reading the Date field of mail and news articles into a point in time, and
// writing that point as ISO 8601 UTC text. Pure functions, any thread.
#pragma once

#include <cstdint>
#include <string>

// Reads an RFC 5322 date, its obsolete forms included, and the variants news
// servers pass on: the weekday left out, two- or three-digit years (00-49 are
// 2000-2049, 50-99 and three digits count from 1900), seconds left out, blanks
// around the colons, comments such as "(CET)" anywhere, the named zones UT, GMT,
// Z, EST, EDT, CST, CDT, MST, MDT, PST and PDT, other alphabetic zones (the
// military letters among them) and a missing zone read as +0000, and the
// asctime order "Tue Dec  8 22:09:47 2026". True with the seconds since
// 1970-01-01T00:00:00Z in utcSeconds; false when the text is no such date (a
// day the month does not have, an hour past 23, text left over).
bool ParseMailDate(const char* text, std::int64_t& utcSeconds);

// "YYYY-MM-DDTHH:MM:SSZ" for seconds since 1970-01-01T00:00:00Z.
std::string FormatIsoUtc(std::int64_t utcSeconds);

// The asctime form in UTC, "Tue Dec  8 22:09:47 2026", as an mbox From line has it.
std::string FormatAscTimeUtc(std::int64_t utcSeconds);

// The end of a comment that starts at `at` (an opening parenthesis): just past
// its closing parenthesis, nested comments and backslash pairs included, or
// the end of the text when it is never closed.
const char* SkipMailComment(const char* at);
