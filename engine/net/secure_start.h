// Turning a connected socket into an encrypted connection. Kept apart from
// the connection's byte transfer (net.h), which the TLS implementation itself
// waits and sends through.
#pragma once

#include "net.h"
#include "secure_channel.h"

#include <string>

// Starts TLS on a connected socket (at once for nntps, after 382 for STARTTLS).
// Anything received before is dropped. On failure the socket stays open and
// `reason` says why; the result tells a time-out and a stop apart.
kvHandshakeResult StartSecureChannel(kvConnection& conn, const std::string& host,
                                     const kvTlsSettings& settings, std::string& reason);
