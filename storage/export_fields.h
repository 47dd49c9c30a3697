// What the CSV, JSON Lines and mbox exports share: the values each writes for
// an article besides its header fields, and the text rule for its bytes.
// Pure functions over records the caller owns; any thread.
#pragma once

#include "records.h"

#include <string>

// True when the stored body ends with the long-article warning: the article
// was longer than the program keeps and was cut.
bool IsCutArticle(const kvArticle& article);

// Bytes of the stored body (0 when there is none).
long StoredLength(const kvArticle& article);

// The Date field as ISO 8601 UTC, "YYYY-MM-DDTHH:MM:SSZ"; empty when it is
// missing or cannot be read (ParseMailDate).
std::string IsoDateOf(const kvArticle& article);

// The author's address alone, from the raw From field: the text inside angle
// brackets when there are some, else the first word outside comments (the bare
// address before a "(Name)" comment). Empty when the field is missing or
// holds no address. Not made readable: the caller applies its own text rule.
std::string AuthorAddress(const char* from);

// The bytes as valid UTF-8 by the raw-byte rule (UTF-8 when valid, else each
// line on its own UTF-8 or Latin-1), control characters kept as they are.
std::string Utf8Text(const char* bytes);
