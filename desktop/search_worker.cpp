#include "search_worker.h"

#include "hand_over.h"
#include "netrc_file.h"
#include "search_run.h"
#include "status_queue.h"

#include <mutex>
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
        bool given = false;
        kvCredentials login;
    };
    auto reply = std::make_shared<kvHandOver<Reply>>();
    Deliver(
        [this, host, reply, known = known]() {
            Reply answer;
            answer.given = onLogin(host, answer.login);
            if (answer.given) {
                std::lock_guard<std::mutex> lock(known->mutex);
                known->byHost[host] = answer.login;
            }
            reply->Give(std::move(answer));
        },
        live);
    Reply answer;
    if (reply->Await(&context.stop, -1, 50, answer) != kvHandOverWait::Given || !answer.given)
        return kvCredentialAnswer::None;
    out = answer.login;
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
    // A search can show thousands of messages a second: a progress message
    // still waiting for the GUI thread gives way to the next one, so the
    // status line never falls behind (see status_queue.h).
    auto statuses = std::make_shared<kvStatusQueue>();
    context.report = [this, &live, statuses](const kvStatus& status) {
        if (kvStatusQueue::IsProgress(status.kind)) {
            bool measured = status.phase != kvPhase::None && status.total > 0;
            statuses->Note({measured ? status.done : 0, measured ? status.total : 0});
        }
        if (!statuses->Push(status.text, status.kind)) return; // a delivery is on its way
        Deliver(
            [this, statuses]() {
                for (const std::string& text : statuses->Take())
                    onStatus(text);
                if (onProgress) {
                    kvStatusQueue::Progress now = statuses->Latest();
                    onProgress(now.done, now.total);
                }
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

    kvSearchOutcome run = RunSearchRequest(request, context);
    auto outcome = std::make_shared<Outcome>();
    outcome->count = run.end == kvSearchEnd::Failed ? -1 : run.count;
    outcome->status = std::move(run.status);
    outcome->results = std::move(run.results);
    outcome->summary = std::move(run.summary);
    Deliver(
        [this, outcome]() {
            running = false;
            if (thread.joinable()) thread.join();
            onDone(*outcome);
        },
        live);
}
