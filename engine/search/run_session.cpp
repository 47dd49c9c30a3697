#include "run_session.h"

#include "commands.h"

namespace {

constexpr long kTimeLimitGraceSeconds = 10;
constexpr std::size_t kListHeadersSize = 16384;

} // namespace

kvRunSession::kvRunSession(const kvSearchRequest& request, kvSearchContext& context)
    : req(request), ctx(context), security(conn, context, request, server, caps),
      pipeline(conn, EffectivePipeline(request)), stopwatch(context) {
    conn.stop = &context.stop;
    conn.clock = [&context] { return context.NowMilliseconds(); };
    conn.maxResponseBytes = context.maxResponseBytes;
    conn.maxResponseSeconds = context.maxResponseSeconds;
}

void kvRunSession::StartTimeLimit() {
    if (StartsWithWord(req.timeLimit, "any")) return;
    limitSeconds = DecodeNumber(req.timeLimit) * 60;
    if (limitSeconds < 60) return;
    timeLimitOn = true;
    stopwatch.Start();
    limitEndMs = ctx.NowMilliseconds() + limitSeconds * 1000LL;
    // Inside a response the limit holds as well, a few seconds later: an
    // answer under way when it passes may still be completed.
    conn.runDeadlineMs = ctx.NowMilliseconds() + (limitSeconds + kTimeLimitGraceSeconds) * 1000LL;
}

kvStep kvRunSession::Fail(kvStatusKind kind, const char* message) {
    ctx.Write(kind, "%s", message);
    return kvStep::Failed;
}

kvStep kvRunSession::FailReceive(long result) {
    WriteReceiveFailure(ctx, conn, result);
    lost = Lost(result);
    lostResult = result;
    return kvStep::Failed;
}

bool kvRunSession::Lost(long result) const {
    // A stop ends every wait as a failure, and a bound ends it on purpose:
    // neither is a connection lost.
    return result <= 0 && conn.boundHit == kvBoundHit::None && !ctx.stop.StopRequested();
}

void kvRunSession::Close() {
    CloseSocket(conn);
}

void kvRunSession::QuitAndClose() {
    if (keepBetweenGroups && !securityFailed && Connected() && !ctx.stop.StopRequested()) {
        if (pipeline.Idle()) return;
        kvBuffer scratch;
        if (scratch.Allocate(KV_HEADER_LIST_SIZE) && pipeline.Settle(scratch) > 0 &&
            pipeline.Idle())
            return;
    }
    QuitAndCloseNow();
}

void kvRunSession::QuitAndCloseNow() {
    pipeline.FinishLine();
    SendQuit(conn);
    Close();
}

kvSecured kvRunSession::Secure(int code, kvBuffer& scratch) {
    if (code == 480 || code == 483) {
        long n = pipeline.Settle(scratch);
        if (n <= 0) {
            Close();
            FailReceive(n);
            return kvSecured::Failed;
        }
    }
    switch (security.Answer(code)) {
    case kvSecurityStep::NotMine:
        return kvSecured::NotAsked;
    case kvSecurityStep::Retry:
        return kvSecured::SendAgain;
    case kvSecurityStep::Fail:
        securityFailed = true;
        QuitAndClose();
        return kvSecured::Failed;
    case kvSecurityStep::Abort:
        securityFailed = true;
        Close();
        return kvSecured::Failed;
    }
    return kvSecured::Failed;
}

bool kvRunSession::AskGroup(char* reply, std::size_t size, int& code, bool listHeaders) {
    if (!SendCommand(conn, "GROUP %s\r\n", req.newsgroup)) {
        // A name that does not fit one command line, or holds a line break.
        QuitAndClose();
        Fail("ERROR: GROUP command error");
        return false;
    }
    // Sent ahead: its answer comes with GROUP's, at no extra round trip.
    if (listHeaders) pipeline.Send(215, kvResponseMode::HeaderList, "LIST HEADERS\r\n");
    long n = ReceiveReplyLine(conn, reply, size);
    if (n <= 0) {
        Close();
        FailReceive(n);
        return false;
    }
    code = ReplyCode(reply);
    return true;
}

bool kvRunSession::ReadListedHeader() {
    if (pipeline.Awaited() == 0) return true;
    kvBuffer list;
    if (!list.Allocate(kListHeadersSize)) {
        QuitAndClose();
        Fail("ERROR: Low memory");
        return false;
    }
    long n = pipeline.Receive(list);
    if (n <= 0) {
        Close();
        FailReceive(n);
        return false;
    }
    listedHeader = ReadListHeaders(list.data.get(), list.length, req.header);
    return true;
}

bool kvRunSession::Reselect() {
    if (!security.SessionReset()) return true;
    char reply[512];
    int code = 0;
    if (!AskGroup(reply, sizeof reply, code)) return false;
    if (code != 211) {
        QuitAndClose();
        Fail("ERROR: GROUP command error");
        return false;
    }
    security.SessionRestored();
    return true;
}
