// Connecting again after a lost connection: the part of the run session that
// turns a dropped connection into a pause, a new connection and the same
// group selected, so that the scan and the fetch go on where they were.
#include "run_session.h"
#include "transport.h"

namespace {

constexpr long long kFirstWaitMs = 1000;

} // namespace

void kvRunSession::StartOver() {
    Close();
    conn.boundHit = kvBoundHit::None;
    conn.responseStartMs = 0;
    conn.responseBytes = 0;
    pipeline.Reset();
    security.NewConnection();
    lost = false;
}

kvResume kvRunSession::Reconnect(long result, const kvBuffer& response) {
    if (result <= 0) return Reconnect(result);
    // 400: the server is going away; 205: it said goodbye unasked. Either way
    // nothing more comes on this connection.
    int code = ReplyCode(response.data.get());
    if (code != 400 && code != 205) return kvResume::NotLost;
    return Reconnect(0L);
}

kvResume kvRunSession::Reconnect(long result) {
    if (result <= 0 && !Lost(result)) return kvResume::NotLost;
    const int allowed = EffectiveRetries(req);
    while (reconnects < allowed && reopen) {
        ++reconnects;
        Close();
        ctx.Show(kvStatusKind::Warning, "SEARCH: Connection lost, reconnecting (%d of %d)...",
                 reconnects, allowed);
        if (!ctx.Pause(kFirstWaitMs << (reconnects - 1))) return kvResume::GaveUp;
        if (TimeExpired()) {
            conn.boundHit = kvBoundHit::TimeLimit;
            return kvResume::GaveUp;
        }
        StartOver();
        if (reopen() == kvStep::Continue) return kvResume::Resumed;
        // Lost again on the way: the next try, while there is one.
        if (!lost) return kvResume::Failed;
    }
    return kvResume::GaveUp;
}
