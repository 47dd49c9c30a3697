#include "session_security.h"

#include "commands.h"
#include "secure_start.h"
#include "transport.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace {

constexpr std::size_t kCapabilityListSize = 16384;

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
                                     const kvSearchRequest& request, const kvServerAddress& address)
    : conn(connection), ctx(context), req(request), server(address) {
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

kvSecurityStep kvSessionSecurity::Answer(int code) {
    if (code == 480) return Login();
    if (code != 483) return kvSecurityStep::NotMine;
    if (encrypted)
        return Fail(kvSecurityStep::Fail, "ERROR: Secure connection failed: the server asks for "
                                          "encryption on an encrypted connection");
    kvSecurityStep failure;
    if (!capabilitiesKnown && !ReadCapabilities(failure)) return failure;
    if (!UpgradeOffered())
        return Fail(kvSecurityStep::Fail, "ERROR: Secure connection failed: the server requires "
                                          "encryption and does not offer STARTTLS");
    return Upgrade();
}

// True when the capability line (from its keyword on) names DEFLATE among its arguments.
static bool ListsDeflate(const char* line) {
    const char* end = std::strchr(line, '\n');
    std::size_t length = end ? static_cast<std::size_t>(end - line) : std::strlen(line);
    std::size_t at = std::strcspn(line, " \t\r\n");
    while (at < length) {
        at += std::strspn(line + at, " \t");
        std::size_t word = std::strcspn(line + at, " \t\r\n");
        if (word == 7 && strncasecmp(line + at, "DEFLATE", 7) == 0) return true;
        if (word == 0) break;
        at += word;
    }
    return false;
}

bool kvSessionSecurity::ReadCapabilities(kvSecurityStep& failure) {
    startTlsOffered = false;
    compressOffered = false;
    kvBuffer list;
    if (!list.Allocate(kCapabilityListSize)) {
        failure = Fail(kvSecurityStep::Fail, "ERROR: Low memory");
        return false;
    }
    SendCommand(conn, "CAPABILITIES\r\n");
    long n = ReceiveMultiline(conn, list, 101, kvResponseMode::HeaderList);
    if (n <= 0) {
        failure = ReadFailure(n);
        return false;
    }
    capabilitiesKnown = true;
    if (ReplyCode(list.data.get()) != 101) return true; // an older server: no capabilities
    const char* line = std::strchr(list.data.get(), '\n');
    while (line != nullptr && *++line != '\0' && *line != '.') {
        std::size_t word = std::strcspn(line, " \t\r\n");
        if (word == 8 && strncasecmp(line, "STARTTLS", 8) == 0) startTlsOffered = true;
        if (word == 8 && strncasecmp(line, "COMPRESS", 8) == 0)
            compressOffered = ListsDeflate(line);
        line = std::strchr(line, '\n');
    }
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
    kvCredentials login;
    std::string problem;
    kvCredentialAnswer answer =
        ctx.credentials ? ctx.credentials(server.host, login, problem) : kvCredentialAnswer::None;
    if (answer == kvCredentialAnswer::Refused)
        return Fail(kvSecurityStep::Fail, "ERROR: %s", problem.c_str());
    if (answer != kvCredentialAnswer::Given || login.user.empty())
        return Fail(kvSecurityStep::Fail, "ERROR: Authentication required");
    if (!encrypted) {
        kvSecurityStep failure;
        if (!capabilitiesKnown && !ReadCapabilities(failure)) return failure;
        if (UpgradeOffered()) {
            kvSecurityStep step = Upgrade();
            if (step != kvSecurityStep::Retry) return step;
        } else if (!req.allowPlainPassword) {
            return Fail(kvSecurityStep::Fail,
                        "ERROR: Password not sent over an unencrypted connection");
        }
    }
    return SendCredentials(login);
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
    capabilitiesKnown = false;
    return kvSecurityStep::Retry;
}
