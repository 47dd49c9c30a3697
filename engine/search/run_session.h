// One search's connection and what every step of the run shares on it: the
// request, the context, the server's capabilities, the encryption and login
// state, the command pipeline, the time limit, and the ways a step ends the run (closing the
// connection and writing the reason).
#pragma once

#include "capabilities.h"
#include "header_replies.h"
#include "net.h"
#include "net_library.h"
#include "pipeline.h"
#include "records.h"
#include "search_context.h"
#include "session_security.h"
#include "transport.h"

#include <cstddef>
#include <functional>
#include <optional>

// How a step of the run ended.
enum class kvStep {
    Continue,     // go on with the next step
    NothingFound, // the run ends without articles; the connection is closed
    Failed,       // the run failed; the reason is written, the connection closed
};

// What answering a reply code about logins and encryption came to.
enum class kvSecured {
    NotAsked,  // the code is about neither: the caller handles it
    SendAgain, // a login or encryption was set up: send the command again
    Failed,    // the run failed (message written, connection closed)
};

// What became of a connection that may have been lost (see Reconnect).
enum class kvResume {
    NotLost, // the answer came, or a stop or a bound ended the receive: go on as usual
    Resumed, // connected again with the group selected and nothing outstanding: send
             // again, in the same order, every command that had no complete answer
    GaveUp,  // lost, and not connected again: end as on a failed receive (the time
             // limit, when it passed during the wait, is noted in conn.boundHit)
    Failed,  // connecting again failed otherwise: the reason written, the connection closed
};

// Whole seconds since Start(), on the context's clock.
class kvStopwatch {
  public:
    explicit kvStopwatch(const kvSearchContext& context) : ctx(context) {}
    void Start() { started = ctx.NowMilliseconds(); }
    long ElapsedSeconds() const {
        return static_cast<long>((ctx.NowMilliseconds() - started) / 1000);
    }

  private:
    const kvSearchContext& ctx;
    long long started = 0;
};

class kvRunSession {
  public:
    kvRunSession(const kvSearchRequest& request, kvSearchContext& context);
    kvRunSession(const kvRunSession&) = delete;
    kvRunSession& operator=(const kvRunSession&) = delete;

    // Starts the request's time limit, when it has one, from now.
    void StartTimeLimit();
    bool TimeExpired() const { return timeLimitOn && stopwatch.ElapsedSeconds() > limitSeconds; }
    // Whether the time limit started by StartTimeLimit has passed, whatever
    // restarted the stopwatch since (a sweep's limit holds for all its groups).
    bool LimitPassed() const { return timeLimitOn && ctx.NowMilliseconds() > limitEndMs; }
    void RestartStopwatch() { stopwatch.Start(); }

    // Writes an error message; returns Failed.
    kvStep Fail(const char* message) { return Fail(kvStatusKind::Error, message); }
    kvStep Fail(kvStatusKind kind, const char* message);
    // Writes the message for a failed receive (its result 0 or -1); returns Failed.
    kvStep FailReceive(long result);
    // True when the last failed receive written lost the connection (not a
    // stop, not a bound); LostResult() is its result.
    bool ConnectionLost() const { return lost; }
    long LostResult() const { return lostResult; }

    // After a receive with `result` (and, when it succeeded, the response):
    // when the connection was lost (the end of the stream, a reset, a
    // time-out, a 400 or 205 reply) and the request's reconnects are not used
    // up, waits 1, 2, 4... seconds (ended by a stop), connects again through
    // `reopen` and says Resumed. The count holds for the whole search.
    kvResume Reconnect(long result);
    kvResume Reconnect(long result, const kvBuffer& response);
    // The run's own connect and group steps, run again by Reconnect.
    std::function<kvStep()> reopen;

    bool Connected() const { return conn.socket >= 0; }
    void Close();
    // Ends the session: QUIT, then close. With keepBetweenGroups, a
    // connection still in step with the server (nothing outstanding once the
    // answers to commands sent ahead are read and dropped) stays open for the
    // next group instead, unless a login or encryption failed on it.
    void QuitAndClose();
    // QUIT and close whatever keepBetweenGroups says.
    void QuitAndCloseNow();
    // Closes the connection and forgets everything about it (the pipeline, the
    // encryption and login state; a login given is kept): the next one starts
    // afresh, encrypted as the one before was.
    void StartOver();

    // After a reply `code`: whether a login or encryption was set up (the
    // command is to be sent again), the code is about neither, or the run
    // failed. Commands sent ahead are settled first (their responses read into
    // `scratch` and dropped): the caller sends them again.
    kvSecured Secure(int code, kvBuffer& scratch);
    // Sends GROUP and reads the reply line into reply. False when the run
    // failed (message written, connection closed). With `listHeaders`, LIST
    // HEADERS goes out right behind GROUP; its response is left for
    // ReadListedHeader (or Secure) to collect.
    bool AskGroup(char* reply, std::size_t size, int& code, bool listHeaders = false);
    // Collects the LIST HEADERS response sent with GROUP into listedHeader.
    // False when the run failed (message written, connection closed).
    bool ReadListedHeader();
    // Selects the group again after the server's session state was reset.
    // False when the run failed (message written, connection closed).
    bool Reselect();

    const kvSearchRequest& req;
    kvSearchContext& ctx;
    std::optional<kvNetLibrary> netLibrary; // started by the connect step; ends after conn
    kvConnection conn;
    kvServerAddress server;
    kvCapabilities caps; // the server's list as read last (after the greeting, TLS, a login)
    kvSessionSecurity security;
    kvPipeline pipeline;
    // Whether LIST HEADERS named the request's header (Unknown: not asked).
    kvListedHeader listedHeader = kvListedHeader::Unknown;
    // A sweep: the end of one group's search leaves the connection open (see QuitAndClose).
    bool keepBetweenGroups = false;
    // A login, the encryption or the capability list failed: the session
    // cannot go on with another group.
    bool securityFailed = false;

  private:
    bool Lost(long result) const;

    kvStopwatch stopwatch;
    int reconnects = 0; // made by this search
    bool lost = false;
    long lostResult = 0;
    bool timeLimitOn = false;
    long limitSeconds = 0;
    long long limitEndMs = 0;
};
