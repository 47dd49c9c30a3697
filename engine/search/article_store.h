// Storing one fetched article: its ARTICLE response split at the blank line
// after the headers, a record built from it (headers parsed, body cleaned and
// decoded) and appended to the result set.
#pragma once

#include "records.h"
#include "result_set.h"

#include <cstddef>

// Copies `length` bytes of text into a field of `capacity` bytes (NUL
// included), leaving out NUL bytes as the article bodies do: a NUL from the
// server never cuts a line or a header short.
void CopyWithoutNul(char* field, std::size_t capacity, const char* text, std::size_t length);

// The parts of an ARTICLE response, pointing into it.
struct kvArticleResponse {
    const char* headers = nullptr; // after the status line
    std::size_t headerLength = 0;  // up to the blank line
    const char* body = nullptr;    // after the blank line
    std::size_t bodyLength = 0;    // to the end of the response
};

// Splits `length` bytes of response (which may hold NUL bytes). False when it
// has no status line or no blank line after its headers: the article is
// passed over.
bool SplitArticleResponse(const char* response, std::size_t length, kvArticleResponse& parts);

// Builds the record of an article and appends it to the set. headerText is
// scratch room of headerTextSize bytes for the header block. False when memory
// ran short (or the set is full, which the fetch never lets happen): nothing
// was stored.
bool StoreArticle(const kvArticleResponse& parts, char* headerText, std::size_t headerTextSize,
                  kvResultSet& set);
