// An encrypted channel over a connected socket: the TLS client side of a news
// connection. The network layer holds one per encrypted connection and sends
// and receives through it; nothing above the network layer knows whether a
// connection is encrypted.
//
// The interface is what a platform's TLS library has to provide; the OpenSSL
// implementation lives in secure_channel_openssl.cpp. Every wait (handshake,
// receive, send) lasts at most the connection's time-out and ends at once when
// a stop is requested, exactly like a plain wait. Used only by the thread that
// runs the search.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

struct kvConnection;

struct kvTlsSettings {
    std::string caFile; // empty: the system's trust store (OpenSSL honours SSL_CERT_FILE)
};

enum class kvHandshakeResult { Secure, TimedOut, Stopped, Failed };

class kvSecureChannel {
  public:
    virtual ~kvSecureChannel() = default;

    // Runs the client handshake for `host` (a name or an IP address): TLS 1.2
    // or later, server name indication, the certificate chain verified and the
    // name or address checked. On Failed, `reason` says why in plain words.
    virtual kvHandshakeResult Handshake(kvConnection& conn, const std::string& host,
                                        std::string& reason) = 0;
    // Same conventions as NetReceive and NetSend.
    virtual long Receive(kvConnection& conn, char* buffer, std::size_t size) = 0;
    virtual long Send(kvConnection& conn, const char* data, std::size_t length) = 0;
    // Sends without waiting, as NetTrySend: the bytes taken, 0 when nothing can
    // go now, -1 on failure. Bytes not taken must be offered again, from the
    // same first byte, before anything else is sent.
    virtual long TrySend(kvConnection& conn, const char* data, std::size_t length) = 0;
    // Says goodbye to the peer without waiting for its answer.
    virtual void Close(kvConnection& conn) = 0;
};

// The platform's implementation. Null (with `reason`) when it cannot be set up,
// for example when the CA file cannot be read.
std::unique_ptr<kvSecureChannel> MakeSecureChannel(const kvTlsSettings& settings,
                                                   std::string& reason);
