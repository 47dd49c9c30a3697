// The TLS client channel on OpenSSL 3. The socket is switched to non-blocking
// mode for the channel's lifetime; every time OpenSSL wants to read or write,
// the channel waits through the network layer, so the connection's time-out and
// the stop signal apply to the handshake, to reads and to writes alike.
#include "net.h"
#include "net_socket.h"
#include "secure_trust.h"
#include "stop_signal.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

namespace {

// A verification failure in plain words.
std::string VerifyFailure(long code) {
    switch (code) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return "the server's certificate has expired";
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return "the server's certificate is not valid yet";
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        return "the server's certificate is self-signed and not trusted";
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        return "the server's certificate is not issued by a trusted authority";
    case X509_V_ERR_HOSTNAME_MISMATCH:
        return "the server's certificate is for another host name";
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return "the server's certificate is for another address";
    case X509_V_ERR_CERT_REVOKED:
        return "the server's certificate has been revoked";
    default:
        return std::string("the server's certificate was not accepted (") +
               X509_verify_cert_error_string(code) + ")";
    }
}

// Any other handshake failure in plain words, from OpenSSL's error queue.
std::string HandshakeFailure(int sslError) {
    unsigned long e = ERR_peek_last_error();
    ERR_clear_error();
    if (sslError == SSL_ERROR_SYSCALL || sslError == SSL_ERROR_ZERO_RETURN || e == 0)
        return "the server closed the connection during the handshake";
    switch (ERR_GET_REASON(e)) {
    case SSL_R_WRONG_VERSION_NUMBER:
    case SSL_R_PACKET_LENGTH_TOO_LONG:
        return "the server did not answer in TLS";
    case SSL_R_UNSUPPORTED_PROTOCOL:
    case SSL_R_TLSV1_ALERT_PROTOCOL_VERSION:
        return "the server offers no TLS version from 1.2 on";
    case SSL_R_UNEXPECTED_EOF_WHILE_READING:
        return "the server closed the connection during the handshake";
    default: {
        const char* text = ERR_reason_error_string(e);
        return text != nullptr ? text : "TLS handshake error";
    }
    }
}

class OpenSslChannel : public kvSecureChannel {
  public:
    explicit OpenSslChannel(SSL_CTX* context) : ctx(context) {}
    ~OpenSslChannel() override {
        if (ssl != nullptr) SSL_free(ssl);
        SSL_CTX_free(ctx);
    }

    kvHandshakeResult Handshake(kvConnection& conn, const std::string& host,
                                std::string& reason) override;
    long Receive(kvConnection& conn, char* buffer, std::size_t size) override;
    long Send(kvConnection& conn, const char* data, std::size_t length) override;
    long TrySend(kvConnection& conn, const char* data, std::size_t length) override;
    void Close(kvConnection& conn) override;

  private:
    // Waits for what OpenSSL asked for. 1: go on; 0: time-out; -1: failure or stop.
    int WaitFor(kvConnection& conn, int sslError) {
        return NetWait(conn, sslError == SSL_ERROR_WANT_WRITE, NetTimeoutMs(conn));
    }

    SSL_CTX* ctx;
    SSL* ssl = nullptr;
};

kvHandshakeResult OpenSslChannel::Handshake(kvConnection& conn, const std::string& host,
                                            std::string& reason) {
    ERR_clear_error();
    ssl = SSL_new(ctx);
    if (ssl == nullptr || SSL_set_fd(ssl, conn.socket) != 1) {
        reason = "TLS could not be set up";
        return kvHandshakeResult::Failed;
    }
    SocketSetNonBlocking(conn.socket);
    bool named;
    if (IsAddressLiteral(host)) {
        named = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host.c_str()) == 1;
    } else {
        named = SSL_set1_host(ssl, host.c_str()) == 1 &&
                SSL_set_tlsext_host_name(ssl, host.c_str()) == 1;
    }
    if (!named) {
        reason = "the server name cannot be checked against a certificate";
        return kvHandshakeResult::Failed;
    }
    SSL_set_connect_state(ssl);
    for (;;) {
        ERR_clear_error();
        int r = SSL_connect(ssl);
        if (r == 1) return kvHandshakeResult::Secure;
        int error = SSL_get_error(ssl, r);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
            int w = WaitFor(conn, error);
            if (w == 1) continue;
            if (w == 0) {
                reason = "no answer from the server during the handshake";
                return kvHandshakeResult::TimedOut;
            }
            reason = "stopped during the handshake";
            if (conn.stop != nullptr && conn.stop->StopRequested())
                return kvHandshakeResult::Stopped;
            reason = "network error during the handshake";
            return kvHandshakeResult::Failed;
        }
        long verify = SSL_get_verify_result(ssl);
        reason = verify != X509_V_OK ? VerifyFailure(verify) : HandshakeFailure(error);
        ERR_clear_error();
        return kvHandshakeResult::Failed;
    }
}

long OpenSslChannel::Receive(kvConnection& conn, char* buffer, std::size_t size) {
    for (;;) {
        ERR_clear_error();
        int r = SSL_read(ssl, buffer, static_cast<int>(size));
        if (r > 0) {
            NetAcknowledge(conn);
            return r;
        }
        int error = SSL_get_error(ssl, r);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
            int w = WaitFor(conn, error);
            if (w <= 0) return w;
            continue;
        }
        ERR_clear_error();
        // The server closed the connection, with or without saying so first.
        if (error == SSL_ERROR_ZERO_RETURN) return 0;
        return -1;
    }
}

long OpenSslChannel::Send(kvConnection& conn, const char* data, std::size_t length) {
    for (;;) {
        ERR_clear_error();
        int r = SSL_write(ssl, data, static_cast<int>(length));
        if (r > 0) return r;
        int error = SSL_get_error(ssl, r);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
            int w = WaitFor(conn, error);
            if (w <= 0) return w;
            continue;
        }
        ERR_clear_error();
        return -1;
    }
}

long OpenSslChannel::TrySend(kvConnection&, const char* data, std::size_t length) {
    ERR_clear_error();
    int r = SSL_write(ssl, data, static_cast<int>(length));
    if (r > 0) return r;
    int error = SSL_get_error(ssl, r);
    ERR_clear_error();
    return error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE ? 0 : -1;
}

void OpenSslChannel::Close(kvConnection&) {
    if (ssl == nullptr) return;
    ERR_clear_error();
    if (SSL_is_init_finished(ssl)) SSL_shutdown(ssl); // close_notify; the answer is not awaited
    ERR_clear_error();
}

} // namespace

std::unique_ptr<kvSecureChannel> MakeSecureChannel(const kvTlsSettings& settings,
                                                   std::string& reason) {
    InitTlsLibrary();
    ERR_clear_error();
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    if (ctx == nullptr) {
        reason = "TLS could not be set up";
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
    // Servers often close after QUIT without a TLS goodbye: read that as the end.
    SSL_CTX_set_options(ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
    // TLS never compresses (OpenSSL's default, made sure of here): COMPRESS
    // DEFLATE is then the only compression, and may be asked for over TLS.
    SSL_CTX_set_options(ctx, SSL_OP_NO_COMPRESSION);
    // Commands sent ahead go out as far as the socket takes them: a write may
    // end after a record, and a write that had to wait is offered again from a
    // buffer that may have moved and grown since.
    SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    bool trusted = settings.caFile.empty()
                       ? LoadSystemTrust(ctx)
                       : SSL_CTX_load_verify_locations(ctx, settings.caFile.c_str(), nullptr) == 1;
    ERR_clear_error();
    if (!trusted) {
        SSL_CTX_free(ctx);
        reason = settings.caFile.empty() ? "the system's trusted certificates cannot be read"
                                         : "the CA file " + settings.caFile + " cannot be read";
        return nullptr;
    }
    return std::make_unique<OpenSslChannel>(ctx);
}
