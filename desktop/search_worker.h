// Runs one search at a time on a thread of its own and hands what it reports
// to the GUI thread.
//
// Owned and called by the GUI thread. The worker copies the request when it
// starts, so the dialog may change afterwards. Everything the run reports
// travels as values through `post`, the GUI's "run this on the GUI thread, in
// order" service: each status line as text, then, last of all, the outcome
// with the result set and summary handed over whole. The worker touches no
// window and no program object itself.
//
// A login the server asks for comes from ~/.netrc, else from an earlier answer
// of the login handler in this program run (per host), else from the login
// handler itself, asked on the GUI thread while the search waits (a stop ends
// that wait too).
//
// Progress messages that arrive faster than the GUI thread takes them are
// skipped, all but the newest; the others, their order and the last message
// always arrive.
//
// StopAndWait ends a running search at its next network wait, joins the
// thread and drops every report that has not reached the GUI yet, so nothing
// the worker sent can act once the program has begun to shut down.
#pragma once
#include "credentials.h"
#include "records.h"
#include "result_set.h"
#include "search_context.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class kvSearchWorker {
  public:
    struct Outcome {
        int count = 0;                            // -1: the run failed; else the articles received
        std::string status;                       // the run's last message
        std::unique_ptr<kvResultSet> results;     // the articles (none stored when count <= 0)
        std::unique_ptr<kvSearchSummary> summary; // only when count > 0
    };
    using Task = std::function<void()>;
    using Post = std::function<void(Task)>;
    using StatusHandler = std::function<void(const std::string&)>;
    // How far the run has come: done of total (total 0: nothing to measure).
    using ProgressHandler = std::function<void(int done, int total)>;
    using DoneHandler = std::function<void(Outcome&)>;
    // Fills login and returns true, or false when the user gave none.
    using LoginHandler = std::function<bool(const std::string& host, kvCredentials& login)>;

    // The handlers run on the GUI thread, through post.
    kvSearchWorker(Post post, StatusHandler onStatus, DoneHandler onDone);
    ~kvSearchWorker(); // StopAndWait
    kvSearchWorker(const kvSearchWorker&) = delete;
    kvSearchWorker& operator=(const kvSearchWorker&) = delete;

    // GUI thread, before Start. Without a handler, a login ~/.netrc does not
    // know fails the search with "ERROR: Authentication required".
    void SetLoginHandler(LoginHandler handler) { onLogin = std::move(handler); }
    // Told on the GUI thread, after the status lines of each delivery, how
    // far the run has come by its latest progress message: the percentage of
    // the header scan, then the article being received of those to fetch;
    // total 0 in the steps between. GUI thread, before Start.
    void SetProgressHandler(ProgressHandler handler) { onProgress = std::move(handler); }
    // The netrc file read for logins (default ~/.netrc); GUI thread, before Start.
    void SetNetrcPath(std::string path) { netrcPath = std::move(path); }
    // The name lookup the searches use (default: the system's); GUI thread,
    // before Start. Tests put a slow one here.
    void SetResolver(std::function<bool(const std::string&, int, kvAddressList&)> lookup) {
        resolver = std::move(lookup);
    }

    // Starts a search; false when no thread could be created.
    bool Start(const kvSearchRequest& request);
    // True from Start until the outcome has been handed to onDone.
    bool Running() const { return running; }
    void StopAndWait();

  private:
    // Logins given in this program run, by host; shared with the running search.
    struct KnownLogins {
        std::mutex mutex;
        std::map<std::string, kvCredentials> byHost;
    };

    kvCredentialAnswer AskLogin(const std::string& host, kvCredentials& out,
                                const kvSearchContext& context, const std::shared_ptr<bool>& live);
    void Run(kvSearchRequest request, kvSearchContext& context, std::shared_ptr<bool> live);
    void Deliver(Task task, const std::shared_ptr<bool>& live);

    Post post;
    StatusHandler onStatus;
    DoneHandler onDone;
    LoginHandler onLogin;
    ProgressHandler onProgress;
    std::string netrcPath;
    std::function<bool(const std::string&, int, kvAddressList&)> resolver;
    std::shared_ptr<KnownLogins> known = std::make_shared<KnownLogins>();
    std::thread thread;
    std::unique_ptr<kvSearchContext> context; // the worker's while it runs; stop from any thread
    std::shared_ptr<bool> live;               // read and written on the GUI thread only
    bool running = false;
};
