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
// StopAndWait ends a running search at its next network wait, joins the
// thread and drops every report that has not reached the GUI yet, so nothing
// the worker sent can act once the program has begun to shut down.
#pragma once
#include "records.h"
#include "search_context.h"

#include <functional>
#include <memory>
#include <string>
#include <thread>

class kvSearchWorker {
  public:
    struct Outcome {
        int count = 0;      // what the run returned: -1, 0 or the articles received
        std::string status; // the run's last message
        std::unique_ptr<kvResultSet> results;     // the articles (none stored when count <= 0)
        std::unique_ptr<kvSearchSummary> summary; // only when count > 0
    };
    using Task = std::function<void()>;
    using Post = std::function<void(Task)>;
    using StatusHandler = std::function<void(const std::string&)>;
    using DoneHandler = std::function<void(Outcome&)>;

    // The handlers run on the GUI thread, through post.
    kvSearchWorker(Post post, StatusHandler onStatus, DoneHandler onDone);
    ~kvSearchWorker(); // StopAndWait
    kvSearchWorker(const kvSearchWorker&) = delete;
    kvSearchWorker& operator=(const kvSearchWorker&) = delete;

    // Starts a search; false when no thread could be created.
    bool Start(const kvSearchRequest& request);
    // True from Start until the outcome has been handed to onDone.
    bool Running() const { return running; }
    void StopAndWait();

  private:
    void Run(kvSearchRequest request, kvSearchContext& context, std::shared_ptr<bool> live);
    void Deliver(Task task, const std::shared_ptr<bool>& live);

    Post post;
    StatusHandler onStatus;
    DoneHandler onDone;
    std::thread thread;
    std::unique_ptr<kvSearchContext> context; // the worker's while it runs; stop from any thread
    std::shared_ptr<bool> live;               // read and written on the GUI thread only
    bool running = false;
};
