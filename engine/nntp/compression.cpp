#include "compression.h"

#include "commands.h"
#include "transport.h"

kvCompression StartCompression(kvConnection& conn, long& result) {
    result = 1;
    if (conn.compress) return kvCompression::Declined;
    SendCommand(conn, "COMPRESS DEFLATE\r\n");
    char reply[512];
    long n = ReceiveReplyLine(conn, reply, sizeof reply);
    if (n <= 0) {
        result = n;
        return kvCompression::Failed;
    }
    if (ReplyCode(reply) != 206) return kvCompression::Declined;
    // Set up failing after the server agreed leaves nothing to talk with.
    if (!StartCompressedStream(conn)) {
        result = -1;
        return kvCompression::Failed;
    }
    return kvCompression::Active;
}
