// COMPRESS DEFLATE: asking the server to deflate the rest of the connection.
#pragma once

#include "net.h"

enum class kvCompression {
    Active,   // the server agreed: every later byte is deflated both ways
    Declined, // any other answer: the connection goes on as it was
    Failed,   // the reply could not be read (see `result`)
};

// Sends "COMPRESS DEFLATE" and reads the reply; a 206 turns compression on.
// A connection that already compresses is left alone (Declined, nothing
// sent); TLS never compresses here, so an encrypted one is asked too. On
// Failed, `result` holds the failing receive's result (0 or -1).
kvCompression StartCompression(kvConnection& conn, long& result);
