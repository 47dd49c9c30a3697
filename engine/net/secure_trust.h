// Where the TLS library's trust comes from on each system (secure_trust_posix.cpp,
// secure_trust_windows.cpp).
#pragma once

struct ssl_ctx_st;

// Prepares the TLS library; called before any other use of it.
void InitTlsLibrary();
// Adds the system's trusted certificate authorities to the context's store.
// False when there are none to be had.
bool LoadSystemTrust(ssl_ctx_st* ctx);
