// Encryption and login on one news connection, for the search run: TLS from
// the first byte (nntps), and the answers to 480 (log in) and 483 (encrypt
// first), with STARTTLS when the server offers it.
//
// Rules it keeps: it logs in only when a command was answered 480, at most
// once per connection; a password goes over an unencrypted connection only
// when the request allows it; when the server offers STARTTLS, the connection
// is upgraded before any credentials are sent, and a refused or failed upgrade
// fails the run; after the upgrade the capabilities are asked for again.
// Failure messages are written (not shown) into the context's status text.
#pragma once

#include "credentials.h"
#include "net.h"
#include "records.h"
#include "search_context.h"
#include "server_address.h"

#include <string>

enum class kvSecurityStep {
    NotMine, // the code is neither 480 nor 483: the caller handles it
    Retry,   // logged in or encrypted: send the same command again
    Fail,    // the run fails; QUIT may still be sent
    Abort,   // the run fails; the connection is unusable (no QUIT)
};

// Writes (does not show) the message for a failed receive on conn (its result
// 0 or -1), with its kind: a warning when the run's time limit ended it, else
// an error.
void WriteReceiveFailure(kvSearchContext& ctx, const kvConnection& conn, long result);

class kvSessionSecurity {
  public:
    kvSessionSecurity(kvConnection& conn, kvSearchContext& ctx, const kvSearchRequest& request,
                      const kvServerAddress& server);

    // TLS at once after connecting (nntps). False: the message is written.
    bool StartImplicit();
    // A command was answered with `code`.
    kvSecurityStep Answer(int code);
    // True once a login or an upgrade has reset the server's session state.
    bool SessionReset() const { return sessionReset; }
    void SessionRestored() { sessionReset = false; }
    // True when the last CAPABILITIES read listed COMPRESS with DEFLATE.
    bool CompressOffered() const { return compressOffered; }

  private:
    // STARTTLS is offered and can still start: once the connection is
    // deflated, TLS would have to run inside the deflate stream, which it never does.
    bool UpgradeOffered() const { return startTlsOffered && !conn.compress; }
    kvSecurityStep Upgrade();
    kvSecurityStep Login();
    kvSecurityStep SendCredentials(const kvCredentials& login);
    bool ReadCapabilities(kvSecurityStep& failure);
    kvSecurityStep ReadFailure(long result);
    kvSecurityStep Fail(kvSecurityStep step, const char* format, ...)
        __attribute__((format(printf, 3, 4)));

    kvConnection& conn;
    kvSearchContext& ctx;
    const kvSearchRequest& req;
    const kvServerAddress& server;
    kvTlsSettings tls;
    bool encrypted = false;
    bool loggedIn = false;
    bool capabilitiesKnown = false;
    bool startTlsOffered = false;
    bool compressOffered = false;
    bool sessionReset = false;
};
