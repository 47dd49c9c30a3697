#include "secure_start.h"

#include <memory>

kvHandshakeResult StartSecureChannel(kvConnection& conn, const std::string& host,
                                     const kvTlsSettings& settings, std::string& reason) {
    conn.inputLength = 0;
    std::unique_ptr<kvSecureChannel> channel = MakeSecureChannel(settings, reason);
    if (!channel) return kvHandshakeResult::Failed;
    kvHandshakeResult r = channel->Handshake(conn, host, reason);
    if (r == kvHandshakeResult::Secure) conn.secure = std::move(channel);
    return r;
}
