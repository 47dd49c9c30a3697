// Runs of the whole search against the scripted fake server, shared by the
// tests of the search run: the commands the server received, the messages
// shown, the status text and the articles stored.
#pragma once

#include "fake_nntp_server.h"
#include "search_run.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace korvex_test {

using Strings = std::vector<std::string>;
using Numbers = std::vector<long>;

// The commands of a run that gets past GROUP (after CAPABILITIES, refused,
// and MODE READER): XHDR for each of `xhdr` ("low-high"
// for the Subject, else "header low-high"), ARTICLE for each of `articles`, and
// QUIT when `quit`.
Strings Sent(const Strings& xhdr, const Numbers& articles = {}, bool quit = true);
// `before`, then from..to counting down.
Numbers Down(long from, long to, Numbers before = {});
std::string Success(int n);
FakeReply Line(const std::string& text);

struct Harness {
    FakeNntpServer server;
    kvSearchRequest request;
    kvResultSet results;
    kvSearchContext context;
    std::vector<kvStatus> statuses; // without their texts, which are in `messages`
    Strings messages;               // the server's address written as "*"
    Strings commands;
    // The waits before reconnecting, in milliseconds: none is taken for real.
    std::vector<long long> waits;

    // Reconnects nothing and asks no XPAT unless the test asks for it
    // (request.retries, request.serverFilter).
    Harness();
    int Run();
    std::string Status() const { return context.statusText; }
    // The messages shown that start with `prefix`, or all from the first such one on.
    Strings Shown(const std::string& prefix, bool from = false) const;
    // The article numbers in the set's order (from their Message-IDs), after
    // checking that the chain visits the records in that order.
    Numbers Stored() const;
};

// Articles first..last; the ones in `matching` (all when `all`) carry "match"
// in their Subject and can be fetched, the others only have a header value.
FakeGroup Group(long first, long last, const std::set<long>& matching, bool all = false);

using Script = std::vector<std::pair<std::string, FakeReply>>; // "": the greeting

// What a run asks for besides the defaults.
struct Ask {
    int timeoutSeconds = 3;
    const char* maxHeaders = "4000";
    const char* maxArticles = "all";
    const char* header = "Subject";
    const char* timeLimit = "any";
    std::string clockAt = ""; // the command whose arrival moves the run's clock on by stepMs
    long long stepMs = 0;
    std::string server = ""; // empty: the fake server
    int maxResponseSeconds = KV_MAX_RESPONSE_SECONDS;
    std::size_t maxResponseBytes = KV_MAX_RESPONSE_BYTES;
    int retries = 0;           // reconnects; each wait moves the run's clock on
    bool serverFilter = false; // XPAT allowed
};

// One run with the server scripted; `count` is the group's article count
// afterwards (-7: never set), `tail` the last messages shown.
//
// The run is made one command at a time, where `commands` must be exactly
// what the server received, and again with the default window, where
// everything else must come out the same (the messages shown all alike) and
// the server may have received commands sent ahead besides (see SentAhead).
// A run whose clock moves as commands arrive (clockAt) is made one command at
// a time only: commands sent ahead arrive earlier.
void ExpectRun(const std::string& name, const FakeGroup& group, const Script& script, int result,
               long count, const Strings& commands, const std::string& status, const Strings& tail,
               const Numbers& stored, const Ask& ask = {});

// `ahead` holds the commands of `oneAtATime` in the same order, QUIT at the
// end in both or in neither, and besides only header and ARTICLE commands
// (sent ahead, their answers never needed), none of them twice.
::testing::AssertionResult SentAhead(const Strings& oneAtATime, const Strings& ahead);

} // namespace korvex_test
