// What one search run shares with whoever started it: the status text, the
// group's article count, the status callback and the stop request.
//
// The search run calls `report` on the thread that runs the search (the worker),
// synchronously, once for every message it shows, in order. The text is valid
// only during the call: a GUI copies it and hands the copy to its main thread
// (for example with CallAfter), a command line prints it. The callback must not
// touch the context.
// `statusText`, `statusKind`, `groupArticleCount` and `matchedTotal` belong to the thread running
// the search until RunSearch returns; read them afterwards.
//
// RequestStop may be called from any thread: it makes every network wait of
// the run end at once, as a failed receive, so the run returns promptly.
#pragma once

#include "credentials.h"
#include "records.h"
#include "status_kind.h"
#include "stop_signal.h"

#include <cstdarg>
#include <cstddef>
#include <functional>
#include <string>

struct kvAddressList;

// Which long phase a progress message belongs to; the numbers let a front end
// draw a progress bar without parsing the text.
enum class kvPhase { None, HeaderScan, Fetch };

struct kvStatus {
    const char* text;
    kvPhase phase = kvPhase::None;
    int done = 0;  // HeaderScan: percent done; Fetch: article being received
    int total = 0; // HeaderScan: 100; Fetch: articles to receive
    kvStatusKind kind = kvStatusKind::Progress; // set by the run where the message is made
    // HeaderScan: the article numbers scanned so far, of those the scan covers.
    long long numbersDone = 0;
    long long numbersTotal = 0;
};

using kvStatusCallback = std::function<void(const kvStatus&)>;

// Bounds on reading one response, so that no server keeps a run alive for
// ever: far above any real header list or article.
constexpr std::size_t KV_MAX_RESPONSE_BYTES = std::size_t{64} << 20;
constexpr int KV_MAX_RESPONSE_SECONDS = 600;

struct kvSearchContext {
    char statusText[KV_STATUS_SIZE] = "Korvex: idle";
    kvStatusKind statusKind = kvStatusKind::Progress; // what statusText tells
    long groupArticleCount = 0;
    // Every header the scan matched, fetched or not; set when the scan ends.
    long long matchedTotal = 0;
    // The header scan's article numbers done and to do, handed on with its
    // progress messages.
    long long scanDone = 0;
    long long scanTotal = 0;
    kvStatusCallback report;
    kvStopSignal stop;
    // Where the run gets a login when the server asks for one. Empty: nowhere,
    // and such a run fails with "ERROR: Authentication required".
    kvCredentialSource credentials;
    // Milliseconds on a monotonic clock, read by the time limit's stopwatch.
    // Empty: the steady clock. Tests put a clock of their own here.
    std::function<long long()> clock;

    // The bounds on one response; lower ones make tests quick.
    std::size_t maxResponseBytes = KV_MAX_RESPONSE_BYTES;
    int maxResponseSeconds = KV_MAX_RESPONSE_SECONDS;

    // Waits the given milliseconds, ending early on a stop; false when a stop
    // came. Empty: a real wait on `stop`. Tests put one here that moves their clock.
    std::function<bool(long long ms)> pause;

    // Looks the server's name up. Empty: the system's resolver. Tests put a
    // slow one here.
    std::function<bool(const std::string& host, int port, kvAddressList& out)> resolve;

    long long NowMilliseconds() const;
    // Waits through `pause`; false when a stop came before the end.
    bool Pause(long long ms);

    // Writes a message of the given kind into statusText (cut to fit) without
    // showing it.
    void Write(kvStatusKind kind, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // Writes a message of the given kind and shows it through the callback.
    void Show(kvStatusKind kind, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // Writes and shows a progress message of a long phase, with its numbers.
    void ShowProgress(kvPhase phase, int done, int total, const char* format, ...)
        __attribute__((format(printf, 5, 6)));

  private:
    // Formats a message of the given kind into statusText.
    void Put(kvStatusKind kind, const char* format, va_list args);
};
