#include "search_worker.h"

#include "netrc_file.h"
#include "search_run.h"
#include "search_summary.h"
#include "status_queue.h"

#include <chrono>
#include <condition_variable>
#include <new>
#include <system_error>

kvSearchWorker::kvSearchWorker(Post post, StatusHandler onStatus, DoneHandler onDone)
    : post(std::move(post)), onStatus(std::move(onStatus)), onDone(std::move(onDone)),
      netrcPath(DefaultNetrcPath()) {}

kvSearchWorker::~kvSearchWorker() {
    StopAndWait();
}

bool kvSearchWorker::Start(const kvSearchRequest& request) {
    if (running) return false;
    if (thread.joinable()) thread.join(); // the previous run posted its outcome and is ending
    context = std::make_unique<kvSearchContext>();
    live = std::make_shared<bool>(true);
    try {
        thread = std::thread(&kvSearchWorker::Run, this, request, std::ref(*context), live);
    } catch (const std::system_error&) {
        context.reset();
        live.reset();
        return false;
    }
    running = true;
    return true;
}

void kvSearchWorker::StopAndWait() {
    if (context) context->stop.RequestStop();
    if (thread.joinable()) thread.join();
    if (live) *live = false; // reports still queued for the GUI thread now do nothing
    live.reset();
    context.reset();
    running = false;
}

// On the worker thread: an earlier answer for host, else the login handler's
// answer, waited for until it comes or the search is stopped.
kvCredentialAnswer kvSearchWorker::AskLogin(const std::string& host, kvCredentials& out,
                                            const kvSearchContext& context,
                                            const std::shared_ptr<bool>& live) {
    {
        std::lock_guard<std::mutex> lock(known->mutex);
        auto it = known->byHost.find(host);
        if (it != known->byHost.end()) {
            out = it->second;
            return kvCredentialAnswer::Given;
        }
    }
    if (!onLogin) return kvCredentialAnswer::None;
    struct Reply {
        std::mutex mutex;
        std::condition_variable ready;
        bool done = false;
        bool given = false;
        kvCredentials login;
    };
    auto reply = std::make_shared<Reply>();
    Deliver(
        [this, host, reply, known = known]() {
            kvCredentials login;
            bool given = onLogin(host, login);
            if (given) {
                std::lock_guard<std::mutex> lock(known->mutex);
                known->byHost[host] = login;
            }
            std::lock_guard<std::mutex> lock(reply->mutex);
            reply->given = given;
            reply->login = login;
            reply->done = true;
            reply->ready.notify_all();
        },
        live);
    std::unique_lock<std::mutex> lock(reply->mutex);
    while (!reply->done && !context.stop.StopRequested())
        reply->ready.wait_for(lock, std::chrono::milliseconds(50));
    if (!reply->given) return kvCredentialAnswer::None;
    out = reply->login;
    return kvCredentialAnswer::Given;
}

// Runs on the GUI thread when the posted task comes up; `live` is false once
// StopAndWait has dropped the run.
void kvSearchWorker::Deliver(Task task, const std::shared_ptr<bool>& live) {
    post([task = std::move(task), live]() {
        if (*live) task();
    });
}

void kvSearchWorker::Run(kvSearchRequest request, kvSearchContext& context,
                         std::shared_ptr<bool> live) {
    char startDate[KV_DATE_SIZE];
    FormatLocalTime(startDate);
    // A search can show thousands of messages a second: a progress message
    // still waiting for the GUI thread gives way to the next one, so the
    // status line never falls behind (see status_queue.h).
    auto statuses = std::make_shared<kvStatusQueue>();
    context.report = [this, &live, statuses](const kvStatus& status) {
        if (!statuses->Push(status.text)) return; // a delivery is on its way
        Deliver(
            [this, statuses]() {
                for (const std::string& text : statuses->Take())
                    onStatus(text);
            },
            live);
    };
    context.resolve = resolver;
    kvCredentialSource netrc = NetrcCredentials(netrcPath);
    context.credentials = [this, netrc, &context, &live](const std::string& host,
                                                         kvCredentials& out, std::string& problem) {
        kvCredentialAnswer answer = netrc(host, out, problem);
        if (answer != kvCredentialAnswer::None) return answer;
        return AskLogin(host, out, context, live);
    };

    auto outcome = std::make_shared<Outcome>();
    outcome->results = std::make_unique<kvResultSet>();
    int n = RunSearch(request, *outcome->results, context);
    outcome->count = n;
    outcome->status = context.statusText;
    if (n > 0) {
        outcome->summary.reset(new (std::nothrow) kvSearchSummary());
        if (outcome->summary) {
            FillSearchSummary(*outcome->summary, request, startDate, context.groupArticleCount, n);
        } else {
            // Without a summary the results cannot be held: report the run as failed.
            outcome->results.reset();
            outcome->count = -1;
            outcome->status = "ERROR: not enough memory for the search results";
        }
    }
    Deliver(
        [this, outcome]() {
            running = false;
            if (thread.joinable()) thread.join();
            onDone(*outcome);
        },
        live);
}
