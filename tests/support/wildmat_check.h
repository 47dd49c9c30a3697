// A wildmat matcher written for the tests from the wildmat rules (RFC 3977
// section 4) and the classes INN's uwildmat adds, independent of the code that
// writes wildmats: "*" matches any run of bytes, "?" any one byte, "\x" the
// byte x, "[...]" one byte of a set ("a-z" ranges, "^" first negates, "]"
// first is a member); every other byte itself. One pattern: a comma is an
// ordinary byte, as in INN's XPAT.
#pragma once

#include <string>

bool TestWildmatMatches(const std::string& pattern, const std::string& text);
