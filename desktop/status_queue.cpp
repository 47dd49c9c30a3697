#include "status_queue.h"

bool kvStatusQueue::Push(const std::string& text, kvStatusKind kind) {
    const bool progress = IsProgress(kind);
    std::lock_guard<std::mutex> lock(mutex);
    bool first = false;
    if (progress && lastIsProgress && !waiting.empty()) {
        waiting.back() = text;
    } else {
        first = waiting.empty();
        waiting.push_back(text);
    }
    lastIsProgress = progress;
    return first;
}

std::vector<std::string> kvStatusQueue::Take() {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::string> out(waiting.begin(), waiting.end());
    waiting.clear();
    lastIsProgress = false;
    return out;
}

void kvStatusQueue::Note(Progress progress) {
    std::lock_guard<std::mutex> lock(mutex);
    latest = progress;
}

kvStatusQueue::Progress kvStatusQueue::Latest() {
    std::lock_guard<std::mutex> lock(mutex);
    return latest;
}
