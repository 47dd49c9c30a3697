// What a news server says it can do: the list of its answer to CAPABILITIES
// (101), read into flags, and the exchange that asks for it.
#pragma once

#include "net.h"
#include "transport.h"

#include <cstddef>

struct kvCapabilities {
    bool known = false;           // the server answered CAPABILITIES with a list (101)
    bool reader = false;          // READER: reading commands work without MODE READER
    bool modeReader = false;      // MODE-READER: reading needs MODE READER first
    bool hdr = false;             // HDR
    bool over = false;            // OVER
    bool starttls = false;        // STARTTLS
    bool compressDeflate = false; // COMPRESS with DEFLATE among its arguments
    bool authinfo = false;        // AUTHINFO (with any arguments)
    bool authinfoUser = false;    // AUTHINFO with USER
    bool listHeaders = false;     // LIST with HEADERS
    bool listOverviewFmt = false; // LIST with OVERVIEW.FMT
};

// Reads a whole CAPABILITIES response (`length` bytes: the status line, the
// capability lines, the terminating "."), as ReceiveMultiline collects it in
// header-list mode. Any other reply than 101 leaves every flag false. Keywords
// and arguments are matched without regard to case; NUL bytes are passed over.
kvCapabilities ParseCapabilities(const char* response, std::size_t length);

// Sends CAPABILITIES and reads its answer into caps (a refusal, as older
// servers answer, leaves caps.known false). Returns 1, or the failing receive
// result (0 or -1); -2 when memory for the list is short.
long AskCapabilities(kvConnection& conn, kvCapabilities& caps);
