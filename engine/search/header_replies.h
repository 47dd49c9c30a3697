// The replies a header scan reads, each in its own grammar: the lines of HDR
// and XHDR ("number value"), the lines of OVER and XOVER (tab-separated
// fields after the number, placed by LIST OVERVIEW.FMT), the header block of
// HEAD, and LIST HEADERS (which headers the server lists at all).
#pragma once

#include <cstddef>

// HDR or XHDR line (NUL-terminated, no line end). Returns the article number
// at its start (0 when it does not start with a digit); `value` points after
// the first blank, or is null when the line has none.
long ParseNumberedLine(char* line, char*& value);

// Where a header is in the overview: `column` counts the fields after the
// article number from 1 (0: the overview does not hold the header); a "full"
// field carries "Name: value" rather than the value alone.
struct kvOverviewField {
    int column = 0;
    bool full = false;
};

// The header's place from a LIST OVERVIEW.FMT response (status line, lines,
// "."), or from the standard order (Subject, From, Date, Message-ID,
// References, then the byte and line counts) when `response` is null.
// Names match without regard to case; the counts are never headers.
kvOverviewField FindOverviewField(const char* response, std::size_t length, const char* header);

// OVER or XOVER line (NUL-terminated, no line end). Returns the article
// number (0 when the line does not start with one); `value` points at the
// field's value, NUL-terminated in place, or is null when the line has no such
// field or it is empty (the article has no such header).
long ParseOverviewLine(char* line, const kvOverviewField& field, char*& value);

// HEAD response as collected in article mode (status line, then the header
// lines with CR LF ends, NUL bytes already taken out, NUL-terminated): the
// value of the first line named `header` (any case), unfolded, into value
// (cut to capacity-1 bytes). False when no line has that name.
bool FindHeadValue(const char* response, const char* header, char* value, std::size_t capacity);

// What a LIST HEADERS response says about one header.
enum class kvListedHeader {
    Unknown,   // not asked, or not answered with a list
    Listed,    // listed by name, or ":" (any header)
    NotListed, // a list without it: header commands do not serve it
};
kvListedHeader ReadListHeaders(const char* response, std::size_t length, const char* header);
