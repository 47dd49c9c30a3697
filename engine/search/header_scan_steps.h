// The header scan's state and steps, shared by the files that implement them:
// header_scan.cpp (the run and the chunks of each source) and
// header_scan_traffic.cpp (the commands sent, the answers received and read),
// which calls nothing of the first.
#pragma once

#include "header_replies.h"
#include "matcher.h"
#include "matches.h"
#include "run_session.h"
#include "server_filter.h"

#include <climits>
#include <string>
#include <vector>

// The request's pattern, parsed; its words are freed however the scan ends.
class kvParsedPattern {
  public:
    explicit kvParsedPattern(const kvSearchRequest& request) {
        ClearPattern(pattern);
        ParsePattern(pattern, request.pattern, request.matchMode, request.ignoreCase);
    }
    ~kvParsedPattern() { FreePatternWords(pattern); }
    kvParsedPattern(const kvParsedPattern&) = delete;
    kvParsedPattern& operator=(const kvParsedPattern&) = delete;

    kvPattern pattern;
};

// Where the header values come from: a list command for a range of numbers,
// XPAT (the server lists only the values its wildmat matches), or HEAD, one
// article at a time.
enum class kvSource { Hdr, Xhdr, Over, Xpat, Head };

inline bool IsRefusal(int code) {
    return code == 500 || code == 501 || code == 502 || code == 503 || code == 430;
}

class kvHeaderScan {
  public:
    kvHeaderScan(kvRunSession& session, kvMatches& matches)
        : s(session), req(session.req), pattern(session.req), found(matches),
          headerLimit(ScansWholeGroup(session.req) ? LLONG_MAX : EffectiveMaxHeaders(session.req)) {
    }

    kvStep Run(long first, long last);

  private:
    long ChunkLow(long high) const { return high - 499 <= lowest ? lowest : high - 499; }
    // Sends the commands still to go, up to the pipeline's window.
    void SendAhead();
    bool SendList(long high);
    // Sending starts again at the chunk that ends at `high`, HEAD at `number`
    // (0: the chunk's first); commands sent ahead are read and dropped.
    bool Restart(long high, long number = 0);
    // Receives one response. Failed: the run failed (reason written);
    // Resumed: the connection was lost and made again, nothing is
    // outstanding, and the caller sends again from the command unanswered.
    enum class kvReceived { Ok, Resumed, Failed };
    kvReceived Receive();
    // One response, a login or encryption the server asks for first seen
    // to. Answered: `code` is its reply code; AskAgain: the connection was
    // made again or the session secured, and the caller asks again from the
    // command unanswered; Failed: the run failed (reason written).
    enum class kvAnswer { Answered, AskAgain, Failed };
    kvAnswer ReceiveAnswer(int& code);
    // The chunk low..high from a list command. Done: the chunk is scanned;
    // Again: ask for it again (another source, a login); Failed.
    enum class kvChunk { Done, Again, Failed };
    kvChunk ListChunk(long low, long high);
    kvChunk HeadChunk(long low, long high);
    // The chunk low..high from one XPAT per wildmat, merged in number order.
    kvChunk XpatChunk(long low, long high);
    // After a refusal: the next source to try. False when the run failed.
    bool NextSource(long high);
    // XPAT for the chunks still to go, when the pattern narrows and an empty
    // answer can be trusted; false while the scan reads HEADs.
    void FilterFromNowOn();
    // XPAT was refused or mishandled: the list command from chunk `high` on.
    bool StopFiltering(long high);
    bool ReadOverviewFormat();
    void HeadFromNowOn();
    int ScanList();
    void Consider(long number, char* value);

    kvRunSession& s;
    const kvSearchRequest& req;
    kvParsedPattern pattern;
    kvMatches& found;
    kvBuffer headerList;
    long long headerLimit; // header lines examined at most
    long long scanned = 0;
    long lowest = 0;

    kvSource source = kvSource::Xhdr;
    kvSource listSource = kvSource::Xhdr; // the list command a HEAD check returns to
    bool checking = false;                // HEAD checks whether an empty list was true
    bool trustEmpty = false;              // an empty list means no article there has the header
    bool warned = false;
    bool formatRead = false;
    kvOverviewField overview;
    std::vector<std::string> wildmats; // one XPAT each per chunk; none: no pre-filtering
    kvXpatLines xpatLines;
    bool firstList = false; // the first list chunk is awaited before more are sent

    long sendHigh = 0;   // the chunk whose commands go next
    long sendNumber = 0; // HEAD: the next number in that chunk (0: its first)
    long sendFloor = 0;  // no command goes below this number
    bool allSent = false;
};
