#include "fetch.h"

#include "article.h"
#include "article_store.h"

#include <deque>
#include <memory>
#include <new>

namespace {

constexpr std::size_t kHeaderTextSize = 32767;

class kvFetch {
  public:
    kvFetch(kvRunSession& session, const kvMatches& matches, kvResultSet& results)
        : s(session), matches(matches), set(results) {}

    kvStep Run(kvFetched& fetched);

  private:
    // Releases what was received and fails the run.
    kvStep Discard() {
        set.Clear();
        received = 0;
        return kvStep::Failed;
    }
    void ShowReceiving(int articleLimit);

    kvRunSession& s;
    const kvMatches& matches;
    kvResultSet& set;
    kvBuffer articleBuffer;
    std::unique_ptr<char[]> headerText;
    int received = 0;
};

void kvFetch::ShowReceiving(int articleLimit) {
    long long found = matches.Total(); // every match, kept or not
    int total = found > articleLimit ? articleLimit : static_cast<int>(found);
    if (found > articleLimit && ScansWholeGroup(s.req))
        // A whole group may match far more than is fetched: the count stays in sight.
        s.ctx.ShowProgress(kvPhase::Fetch, received + 1, total,
                           "SEARCH: Receiving article %d of %d requested (%lld matched)...",
                           received + 1, articleLimit, found);
    else if (found > articleLimit)
        s.ctx.ShowProgress(kvPhase::Fetch, received + 1, total,
                           "SEARCH: Receiving article %d of %d requested...", received + 1,
                           articleLimit);
    else
        s.ctx.ShowProgress(kvPhase::Fetch, received + 1, total,
                           "SEARCH: Receiving article %d of %lld found...", received + 1, found);
}

kvStep kvFetch::Run(kvFetched& fetched) {
    s.ctx.Show(kvStatusKind::Progress, "SEARCH: Requesting matching articles...");
    int articleLimit = EffectiveMaxArticles(s.req);
    headerText.reset(new (std::nothrow) char[kHeaderTextSize]);
    if (!articleBuffer.Allocate(KV_ARTICLE_BUFFER_SIZE) || !headerText) {
        s.QuitAndClose();
        return s.Fail("ERROR: Low memory");
    }

    // Newest match first; never more commands outstanding than the articles
    // still wanted, so a refused article frees a place for the next number.
    // Only the last matches collected are kept: the fetch ends when they run
    // out, as when every match was taken.
    bool timeExpired = false;
    int next = matches.Kept() - 1;
    std::deque<int> asked; // the matches whose ARTICLE commands await answers, oldest first
    auto sendAhead = [&] {
        while (next >= 0 && s.pipeline.Awaited() < articleLimit - received) {
            kvSendResult r =
                s.pipeline.Send(220, kvResponseMode::Article, "ARTICLE %ld\r\n", matches.At(next));
            if (r == kvSendResult::NoRoom) return;
            if (r == kvSendResult::Sent) asked.push_back(next);
            --next; // sent, or passed over like any article that cannot be had
        }
    };
    for (;;) {
        sendAhead();
        if (s.pipeline.Awaited() == 0) break; // every number taken
        ShowReceiving(articleLimit);
        long n = s.pipeline.Receive(articleBuffer);
        kvResume resume = s.Reconnect(n, articleBuffer);
        if (resume == kvResume::Resumed) {
            next = asked.front(); // the article without a whole answer, and those after it
            asked.clear();
            continue;
        }
        if (resume == kvResume::Failed && s.conn.boundHit == kvBoundHit::TimeLimit) {
            n = 0; // the time ran out while connecting again: as inside a response
        } else if (resume == kvResume::Failed) {
            fetched.received = received;
            fetched.connectionLost = true;
            fetched.reasonWritten = true;
            return kvStep::Continue;
        }
        if (n <= 0 && s.conn.boundHit == kvBoundHit::TimeLimit) {
            // The time ran out inside a response: what arrived whole is kept.
            s.ctx.Show(kvStatusKind::Warning, "WARNING: Search time expired, stopped.");
            s.Close();
            fetched.received = received;
            return kvStep::Continue;
        }
        if (n <= 0) {
            WriteReceiveFailure(s.ctx, s.conn, n);
            s.Close();
            fetched.received = received;
            fetched.connectionLost = true;
            return kvStep::Continue;
        }
        int answered = asked.front();
        asked.pop_front();
        kvSecured secured = s.Secure(ReplyCode(articleBuffer.data.get()), articleBuffer);
        if (secured == kvSecured::SendAgain && s.Reselect()) {
            next = answered; // the same article again, and those sent after it
            asked.clear();
            continue;
        }
        // The login or the encryption failed: what was received goes too.
        if (secured != kvSecured::NotAsked) return Discard();
        if (ReplyCode(articleBuffer.data.get()) != 220) continue;
        kvArticleResponse parts;
        if (!SplitArticleResponse(articleBuffer.data.get(), articleBuffer.length, parts)) continue;
        s.ctx.Show(kvStatusKind::Progress, "Korvex: Article received");
        if (!StoreArticle(parts, headerText.get(), kHeaderTextSize, set)) {
            s.QuitAndClose();
            s.Fail("ERROR: Low memory");
            return Discard();
        }
        ++received;
        if (received == articleLimit) break; // at most 1024: the limit is lowered to fit
        if (s.TimeExpired()) {
            s.RestartStopwatch();
            s.ctx.Show(kvStatusKind::Warning, "WARNING: Search time expired, stopped.");
            timeExpired = true;
            break;
        }
    }

    if (!timeExpired)
        s.ctx.Show(kvStatusKind::Progress, "Finished receiving articles; Closing connection...");
    s.QuitAndClose();
    fetched.received = received;
    return kvStep::Continue;
}

} // namespace

kvStep FetchArticles(kvRunSession& session, const kvMatches& matches, kvResultSet& set,
                     kvFetched& fetched) {
    return kvFetch(session, matches, set).Run(fetched);
}
