// Article-level routines: filling a record from an article's header block and
// cleaning its body.
#pragma once

#include "records.h"

#include <cstddef>

// headerText: the header block, NUL-terminated, CR LF line ends, no line end
// after its last line. Fills the ten text fields (values longer than 511
// characters keep their first 511) and `lines`. A folded value is unfolded:
// its continuation lines are joined to it, their line ends removed.
void ParseArticleHeaders(const char* headerText, kvArticle& article);

// Copies the header value that starts at `at` (just past its label) into
// field, NUL-terminated: up to the line end (a CR before the LF left out),
// joined with the continuation lines that follow (lines starting with a blank
// or a tab, their line ends removed), as much as fits into `capacity` bytes.
void CopyUnfoldedValue(const char* at, char* field, std::size_t capacity);

// Copies `length` bytes of source to destination, leaving out CR and NUL bytes
// (a NUL would cut the stored text short); returns the bytes written. Does not
// terminate the destination.
std::size_t StripCarriageReturns(char* destination, const char* source, std::size_t length);
