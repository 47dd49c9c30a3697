#include "secure_trust.h"

#include <openssl/ssl.h>

void InitTlsLibrary() {}

// The system's certificate directory and bundle, as OpenSSL was configured.
bool LoadSystemTrust(ssl_ctx_st* ctx) {
    return SSL_CTX_set_default_verify_paths(ctx) == 1;
}
