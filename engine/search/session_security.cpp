#include "session_security.h"

#include "commands.h"
#include "secure_start.h"
#include "transport.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

// A reply line without its line end, for a message.
std::string TrimmedReply(const char* reply) {
    std::string text(reply);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

} // namespace

void WriteReceiveFailure(kvSearchContext& ctx, const kvConnection& conn, long result) {
    // The run's time limit cuts a search short; every other bound fails it.
    kvStatusKind kind =
        conn.boundHit == kvBoundHit::TimeLimit ? kvStatusKind::Warning : kvStatusKind::Error;
    ctx.Write(kind, "%s", ReceiveFailureMessage(conn, result));
}

kvSessionSecurity::kvSessionSecurity(kvConnection& connection, kvSearchContext& context,
                                     const kvSearchRequest& request, const kvServerAddress& address,
                                     kvCapabilities& capabilities)
    : conn(connection), ctx(context), req(request), server(address), caps(capabilities) {
    tls.caFile = request.caFile;
}

kvSecurityStep kvSessionSecurity::Fail(kvSecurityStep step, const char* format, ...) {
    char message[KV_STATUS_SIZE];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    ctx.Write(kvStatusKind::Error, "%s", message);
    return step;
}

kvSecurityStep kvSessionSecurity::ReadFailure(long result) {
    failedRead = result;
    WriteReceiveFailure(ctx, conn, result);
    return kvSecurityStep::Abort;
}

bool kvSessionSecurity::StartImplicit() {
    ctx.Show(kvStatusKind::Progress, "Korvex: Starting secure connection...");
    std::string reason;
    if (StartSecureChannel(conn, server.host, tls, reason) != kvHandshakeResult::Secure) {
        Fail(kvSecurityStep::Abort, "ERROR: Secure connection failed: %s", reason.c_str());
        return false;
    }
    encrypted = true;
    return true;
}

void kvSessionSecurity::NewConnection() {
    encryptedBefore = encryptedBefore || encrypted;
    encrypted = loggedIn = capabilitiesAsked = sessionReset = false;
    caps = kvCapabilities();
}

kvSecurityStep kvSessionSecurity::EncryptAsBefore() {
    if (!encryptedBefore || encrypted) return kvSecurityStep::NotMine;
    // The connection lost was upgraded; this one must be too, before a group
    // name or a password goes over it. A server that stopped offering
    // STARTTLS is not trusted with either (a man in the middle strips it).
    if (!caps.starttls)
        return Fail(kvSecurityStep::Fail, "ERROR: Secure connection failed: the server no "
                                          "longer offers STARTTLS");
    return Upgrade();
}

kvSecurityStep kvSessionSecurity::Answer(int code) {
    if (code == 480) return Login();
    if (code != 483) return kvSecurityStep::NotMine;
    if (encrypted)
        return Fail(kvSecurityStep::Fail, "ERROR: Secure connection failed: the server asks for "
                                          "encryption on an encrypted connection");
    kvSecurityStep failure;
    if (!capabilitiesAsked && !ReadCapabilities(failure)) return failure;
    if (!UpgradeOffered())
        return Fail(kvSecurityStep::Fail, "ERROR: Secure connection failed: the server requires "
                                          "encryption and does not offer STARTTLS");
    return Upgrade();
}

bool kvSessionSecurity::ReadCapabilities(kvSecurityStep& failure) {
    long n = AskCapabilities(conn, caps);
    if (n == -2) {
        failure = Fail(kvSecurityStep::Fail, "ERROR: Low memory");
        return false;
    }
    if (n <= 0) {
        failure = ReadFailure(n);
        return false;
    }
    capabilitiesAsked = true; // a refusal (an older server) is not asked again
    return true;
}

kvSecurityStep kvSessionSecurity::Upgrade() {
    ctx.Show(kvStatusKind::Progress, "Korvex: Starting secure connection...");
    char reply[512];
    SendCommand(conn, "STARTTLS\r\n");
    long n = ReceiveReplyLine(conn, reply, sizeof reply);
    if (n <= 0) return ReadFailure(n);
    if (ReplyCode(reply) != 382)
        return Fail(kvSecurityStep::Fail,
                    "ERROR: Secure connection failed: the server refused to start TLS (%.200s)",
                    TrimmedReply(reply).c_str());
    std::string reason;
    if (StartSecureChannel(conn, server.host, tls, reason) != kvHandshakeResult::Secure)
        return Fail(kvSecurityStep::Abort, "ERROR: Secure connection failed: %s", reason.c_str());
    encrypted = true;
    sessionReset = true;
    // What the server offered in plain text no longer counts.
    kvSecurityStep failure;
    if (!ReadCapabilities(failure)) return failure;
    return kvSecurityStep::Retry;
}

kvSecurityStep kvSessionSecurity::Login() {
    if (loggedIn)
        return Fail(kvSecurityStep::Fail,
                    "ERROR: Authentication failed: the server asked again after a login");
    if (!remembered) {
        std::string problem;
        kvCredentialAnswer answer = ctx.credentials ? ctx.credentials(server.host, given, problem)
                                                    : kvCredentialAnswer::None;
        if (answer == kvCredentialAnswer::Refused)
            return Fail(kvSecurityStep::Fail, "ERROR: %s", problem.c_str());
        if (answer != kvCredentialAnswer::Given || given.user.empty())
            return Fail(kvSecurityStep::Fail, "ERROR: Authentication required");
        remembered = true;
    }
    if (!encrypted) {
        kvSecurityStep failure;
        if (!capabilitiesAsked && !ReadCapabilities(failure)) return failure;
        if (UpgradeOffered()) {
            kvSecurityStep step = Upgrade();
            if (step != kvSecurityStep::Retry) return step;
        } else if (!req.allowPlainPassword) {
            return Fail(kvSecurityStep::Fail,
                        "ERROR: Password not sent over an unencrypted connection");
        }
    }
    return SendCredentials(given);
}

kvSecurityStep kvSessionSecurity::SendCredentials(const kvCredentials& login) {
    ctx.Show(kvStatusKind::Progress, "Korvex: Logging in...");
    char reply[512];
    if (!SendCommand(conn, "AUTHINFO USER %s\r\n", login.user.c_str()))
        return Fail(kvSecurityStep::Fail, "ERROR: Authentication failed");
    long n = ReceiveReplyLine(conn, reply, sizeof reply);
    if (n <= 0) return ReadFailure(n);
    int code = ReplyCode(reply);
    if (code == 381) {
        if (!SendCommand(conn, "AUTHINFO PASS %s\r\n", login.password.c_str()))
            return Fail(kvSecurityStep::Fail, "ERROR: Authentication failed");
        n = ReceiveReplyLine(conn, reply, sizeof reply);
        if (n <= 0) return ReadFailure(n);
        code = ReplyCode(reply);
    }
    if (code == 483)
        return Fail(kvSecurityStep::Fail,
                    "ERROR: Password not sent over an unencrypted connection");
    if (code != 281) return Fail(kvSecurityStep::Fail, "ERROR: Authentication failed");
    loggedIn = true;
    sessionReset = true;
    // A login may change what the server offers: the list is read again.
    kvSecurityStep failure;
    if (!ReadCapabilities(failure)) return failure;
    return kvSecurityStep::Retry;
}
