// On Windows OpenSSL reads no configuration file and no certificate directory:
// the paths it was built with name the build machine, and a file planted at such
// a path would change what the program trusts. Trust comes from the system's
// ROOT store, copied into OpenSSL's store (and from a CA file the user names).
#include <windows.h>
// wincrypt.h needs the types of windows.h.
#include <wincrypt.h>

// After wincrypt.h: OpenSSL's headers undo its clashing names.
#include "secure_trust.h"

#include <openssl/ssl.h>
#include <openssl/x509.h>

void InitTlsLibrary() {
    // The first initialisation decides: no configuration is loaded, now or later.
    OPENSSL_init_ssl(OPENSSL_INIT_NO_LOAD_CONFIG, nullptr);
}

bool LoadSystemTrust(ssl_ctx_st* ctx) {
    HCERTSTORE system = CertOpenSystemStoreW(0, L"ROOT");
    if (system == nullptr) return false;
    X509_STORE* store = SSL_CTX_get_cert_store(ctx);
    int added = 0;
    PCCERT_CONTEXT cert = nullptr;
    while ((cert = CertEnumCertificatesInStore(system, cert)) != nullptr) {
        const unsigned char* der = cert->pbCertEncoded;
        X509* x509 = d2i_X509(nullptr, &der, static_cast<long>(cert->cbCertEncoded));
        if (x509 == nullptr) continue;
        if (X509_STORE_add_cert(store, x509) == 1) ++added;
        X509_free(x509);
    }
    CertCloseStore(system, 0);
    return added > 0;
}
