#include "search_worker.h"

#include "search_run.h"
#include "search_summary.h"

#include <new>
#include <system_error>

kvSearchWorker::kvSearchWorker(Post post, StatusHandler onStatus, DoneHandler onDone)
    : post(std::move(post)), onStatus(std::move(onStatus)), onDone(std::move(onDone)) {}

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
    context.report = [this, &live](const kvStatus& status) {
        Deliver([this, text = std::string(status.text)]() { onStatus(text); }, live);
    };

    auto outcome = std::make_shared<Outcome>();
    outcome->results = std::make_unique<kvResultSet>();
    int n = RunSearch(request, *outcome->results, context);
    outcome->count = n;
    outcome->results->count = n;
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
