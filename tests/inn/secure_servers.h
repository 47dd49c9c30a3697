// The extra reader daemons that scripts/inn-tls.sh runs beside the news
// server: implicit TLS, STARTTLS and logins on further loopback ports, with a
// test CA and good and bad certificates in KORVEX_TLS_DIR (default
// /tmp/korvex-inn-tls). Ports move by KORVEX_TLS_PORT_OFFSET.
#pragma once

#include "credentials.h"
#include "inn_search_fixture.h"

#include <string>

namespace korvex_test {

// The ports, as the script numbers them before the offset.
enum TlsPortNumber {
    NNTPS_OPEN = 563,       // implicit TLS, good certificate, no login
    START_TLS_OPEN = 1119,  // plain + STARTTLS, no login
    START_TLS_LOGIN = 1120, // plain + STARTTLS, login asked for (allowed before STARTTLS)
    START_TLS_ONLY = 1121,  // plain + STARTTLS, login only after STARTTLS
    NNTPS_LOGIN = 1563,     // implicit TLS, login asked for
    SELF_SIGNED = 1564,     // implicit TLS, self-signed certificate
    WRONG_HOST = 1565,      // implicit TLS, certificate for wrong.example.invalid
    EXPIRED = 1566,         // implicit TLS, expired certificate
    START_TLS_SELF_SIGNED = 1567,
};

extern const char* const kTestUser;
extern const char* const kTestPassword;

std::string TlsDir();
std::string TestCaFile();
// "localhost:PORT" or "nntps://localhost:PORT", the offset added.
std::string TlsServer(int port, bool implicitTls, const char* host = "localhost");

// Always answers with this login.
kvCredentialSource FixedLogin(const std::string& user, const std::string& password);

// Skips (or fails under KORVEX_REQUIRE_INN=1) unless the news server holds
// the generated articles and the extra daemons are up.
class SecureInnSearch : public InnSearch {
  public:
    void SetUp() override;
};

} // namespace korvex_test
