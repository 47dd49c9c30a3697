// Newsgroup names chosen by a wildmat (RFC 3977 section 4): a comma-separated
// list of patterns, each one optionally led by '!' to exclude what it matches.
// In a pattern '*' stands for any run of characters, '?' for one character,
// "[...]" for one of a set ("[^...]" or "[!...]": one outside it, "a-z" a
// range, a ']' first in the set stands for itself) and '\' makes the
// character after it plain. The last pattern that matches a name decides:
// taken when it has no '!', left out when it has. Bytes are compared as they
// are (group names are ASCII).
#pragma once

#include <string>
#include <vector>

// True when the text names more than one group or any group by a pattern:
// a comma, '!' or any of the wildcard characters * ? [ \ in it. A plain
// group name gives false.
bool IsGroupSelection(const char* text);
// True when the list holds a pattern or an exclusion: '!' or a wildcard
// character. A list of plain names gives false.
bool HasGroupPattern(const std::string& text);

// Whether every comma-separated item is well formed: not empty, no space or
// control character, a closed "[...]", no '\' at the end, and at least one
// item without '!'. On false, `why` says what is wrong.
bool CheckGroupSelection(const std::string& text, std::string& why);

// Whether the wildmat matches the whole name.
bool WildmatMatches(const std::string& wildmat, const std::string& name);

// The items of the list that name one group as it is: no wildcard and no '!'.
std::vector<std::string> PlainGroupItems(const std::string& text);
