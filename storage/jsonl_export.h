// The result set as JSON Lines for notebooks and scripts: UTF-8, one JSON
// object per line, each line ended by LF.
//
// The first line describes the search: {"type":"search", "pattern", "header",
// "server", "group", "date" (when it ran), "group_count" and "found_count" (as
// stored: numbers, null when not a number), "articles" (the articles held)}.
// Then one line per article along the chain from set.First(): {"type":"article",
// "position" (1 for the first), "group", "server", "date" (as stored),
// "date_utc" (ISO 8601 UTC or null), "from" (decoded), "address" (the author's
// address alone), "subject" (decoded), "message_id", "organization",
// "keywords" (decoded), "lines" (null without a Lines field), "length" (bytes
// of the stored text), "cut" (true when the article was cut for its length),
// "headers" (an object with each of the ten header names, From to Reply-To,
// holding {"raw", "decoded"} or null when the article lacks it) and "body"
// (the stored text, "" when there is none; left out without bodies)}.
//
// Strings are valid UTF-8 whatever the bytes (the raw-byte rule: UTF-8 when
// valid, else Latin-1); "decoded" also has its MIME encoded words decoded.
// Control characters are kept, escaped as JSON escapes them. Missing fields
// are null, never "<none>".
//
// Called on the GUI thread or by the command line while no search runs. True
// when the whole file was written and put in place; otherwise false and an
// existing file of that name is unchanged.
#pragma once

#include "records.h"
#include "result_set.h"

bool SaveResultsJsonLines(const char* path, const kvSearchSummary& summary, const kvResultSet& set,
                          bool withBodies);
