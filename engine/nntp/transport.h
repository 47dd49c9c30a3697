// Collecting one multi-line NNTP response (status line, data lines, ".") from
// a connection into a caller-owned buffer. This layer knows the bytes only:
// pieces, partial lines, the terminator and dot-stuffing; what a reply code
// means is the search run's business.
#pragma once

#include "net.h"

#include <cstddef>
#include <memory>

// A fixed-capacity byte buffer, allocated once and reused; always NUL-terminated.
struct kvBuffer {
    std::unique_ptr<char[]> data;
    std::size_t capacity = 0;
    std::size_t length = 0;

    bool Allocate(std::size_t size); // false when memory is short
    void Release();
    void Clear();
    std::size_t Room() const { return capacity - 1 - length; }
    void Append(const char* bytes, std::size_t count); // caller checks Room()
};

constexpr std::size_t KV_HEADER_LIST_SIZE = 256513;
constexpr std::size_t KV_ARTICLE_BUFFER_SIZE = 65534;
// An article's copied bytes beyond which further lines are dropped.
constexpr std::size_t KV_ARTICLE_CUT = 30719;
// No line takes an article's copied bytes beyond this: the rest of a line
// longer than one receive buffer is dropped there. A line that fits in the
// buffer never reaches it, so only such long lines are cut within.
constexpr std::size_t KV_ARTICLE_LINE_CUT = KV_ARTICLE_CUT + KV_RECEIVE_BUFFER_SIZE;
// The longest line a header list keeps, without its line end.
constexpr std::size_t KV_HEADER_LINE_MAX = 511;

extern const char KV_LONG_ARTICLE_WARNING[];

enum class kvResponseMode { HeaderList, Article };

// Collects one response into dest. Returns 1 when complete (or when the status
// line carried another code than expectedCode: dest then holds that line alone,
// and when that code is a multi-line one its data lines have been read through
// their terminator and dropped), else the failing NetReceive result (0 or -1)
// unchanged.
//
// Header-list mode: dest ends with the terminating ".\r\n". A data line longer
// than 511 bytes keeps its first 511; lines that would not fit in dest are dropped.
// Article mode: dot-stuffing is undone; once a line has taken the copied bytes
// past 30719, the remaining lines are dropped and, when any was, the
// long-article warning ends dest; a line that would take them past
// KV_ARTICLE_LINE_CUT keeps only its bytes up to there (a single line of a
// megabyte is cut as near 32 KB as any long article); the terminating line
// is removed.
long ReceiveMultiline(kvConnection& conn, kvBuffer& dest, int expectedCode, kvResponseMode mode);

// The reply code at the start of a response line, read as a decimal number.
int ReplyCode(const char* line);

// True for the codes of replies that carry data lines ended by ".".
bool IsMultilineCode(int code);

// Reads the reply to a command answered by a single line, as
// ReceiveStatusLine does. When the server sends a multi-line reply instead,
// its data lines are read through their terminator and dropped, so that the
// next reply is read from its own first line.
long ReceiveReplyLine(kvConnection& conn, char* reply, std::size_t size);

// The message for a failed receive (its result 0 or -1): the bound that ended
// it, when one did, else the time-out or the read failure.
const char* ReceiveFailureMessage(const kvConnection& conn, long result);
