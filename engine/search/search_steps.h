// The search run's steps on one session: connect, select the group, scan,
// fetch, report. RunSearch (search_run.h) runs them once; a sweep
// (sweep_run.h) runs the group's steps once per group on the same session.
#pragma once

#include "connect.h"
#include "fetch.h"
#include "records.h"
#include "result_set.h"
#include "run_session.h"
#include "search_context.h"

#include <string>

// The run as a sequence: connect, select the group, scan, fetch, report.
class kvSearchRun {
  public:
    kvSearchRun(const kvSearchRequest& request, kvResultSet& results, kvSearchContext& context);

    // The whole search: starts the time limit, then as Search().
    int Run();
    // Searches the request's group on the session's connection, connecting
    // first when there is none. Returns as RunSearch.
    int Search();
    // The next Search() goes into this set, for the group the request names
    // now, with nothing kept from the group before.
    void NextGroup(kvResultSet& results);
    // Connects (when not connected) and asks MODE READER where the server
    // wants it, as the group step does: the session is ready for reader
    // commands. Connecting again after a lost connection is not tried here.
    kvStep Ready();

    kvRunSession& Session() { return s; }
    // Whether a server's greeting was ever read on this run.
    bool EverConnected() const { return connectedOnce; }

  private:
    // Connects and selects the group, connecting again when the connection
    // is lost on the way.
    kvStep Open();
    kvStep Connect();
    // Connects to the addresses found and reads the greeting.
    kvStep ConnectTo();
    // Reads the server's capability list into the session's record.
    kvStep AskCapabilities();
    // MODE READER, once a connection, when the server's list lacks READER.
    kvStep ModeReader();
    kvStep SelectGroup();
    kvStep Compress();
    // Groups the received articles by subject and reports how the fetch ended.
    void Report(const kvFetched& fetched);

    kvRunSession s;
    const kvSearchRequest& req;
    kvSearchContext& ctx;
    kvResultSet* set;
    long first = 0, last = 0;
    kvAddressList addresses;
    bool reopening = false;     // connecting again: the server's addresses are known
    bool selected = false;      // the group was selected once: its numbers are kept
    bool readerAsked = false;   // MODE READER went out on this connection
    bool connectedOnce = false; // a greeting was read
};

// What a front end holds after a run that returned n (see RunSearch) into
// `results`: the outcome with the status, and the summary when n > 0.
kvSearchOutcome MakeSearchOutcome(const kvSearchRequest& request, const kvSearchContext& context,
                                  const char* startDate, int n,
                                  std::unique_ptr<kvResultSet> results);
