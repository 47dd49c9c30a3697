// Encryption and login on one news connection, for the search run: TLS from
// the first byte (nntps), and the answers to 480 (log in) and 483 (encrypt
// first), with STARTTLS when the server offers it.
//
// Rules it keeps: it logs in only when a command was answered 480, at most
// once per connection; a password goes over an unencrypted connection only
// when the request allows it; when the server offers STARTTLS, the connection
// is upgraded before any credentials are sent, and a refused or failed upgrade
// fails the run; after the upgrade and after a login the capabilities are
// asked for again (the list read last is in the capability record it shares
// with the run).
// Failure messages are written (not shown) into the context's status text.
#pragma once

#include "capabilities.h"
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
                      const kvServerAddress& server, kvCapabilities& caps);

    // TLS at once after connecting (nntps). False: the message is written.
    bool StartImplicit();
    // Sends CAPABILITIES and reads the list into the capability record. False
    // when the run fails: the message is written, `failure` says whether QUIT
    // may still be sent.
    bool ReadCapabilities(kvSecurityStep& failure);
    // A command was answered with `code`.
    kvSecurityStep Answer(int code);
    // True once a login or an upgrade has reset the server's session state.
    bool SessionReset() const { return sessionReset; }
    // The result (0 or -1) of the last receive that failed here.
    long FailedRead() const { return failedRead; }
    void SessionRestored() { sessionReset = false; }
    // The connection was made again: nothing is encrypted or logged in on it.
    // A login given before is kept and sent again when the server asks,
    // without asking for it anew.
    void NewConnection();
    // On a connection made again, with its capabilities read: when the one
    // lost was encrypted, upgrades this one too (Retry), or fails when the
    // server no longer offers STARTTLS. NotMine when nothing is to be done.
    kvSecurityStep EncryptAsBefore();

  private:
    // STARTTLS is offered and can still start: once the connection is
    // deflated, TLS would have to run inside the deflate stream, which it never does.
    bool UpgradeOffered() const { return caps.starttls && !conn.compress; }
    kvSecurityStep Upgrade();
    kvSecurityStep Login();
    kvSecurityStep SendCredentials(const kvCredentials& login);
    kvSecurityStep ReadFailure(long result);
    kvSecurityStep Fail(kvSecurityStep step, const char* format, ...)
        __attribute__((format(printf, 3, 4)));

    kvConnection& conn;
    kvSearchContext& ctx;
    const kvSearchRequest& req;
    const kvServerAddress& server;
    kvCapabilities& caps;
    kvTlsSettings tls;
    bool encrypted = false;
    bool encryptedBefore = false; // a connection lost earlier in the search was encrypted
    bool loggedIn = false;
    bool capabilitiesAsked = false; // since the connection's state last changed
    bool sessionReset = false;
    long failedRead = 0;
    bool remembered = false; // `given` holds the login given for this search
    kvCredentials given;
};
