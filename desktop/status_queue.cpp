#include "status_queue.h"

bool kvStatusQueue::IsProgress(const std::string& text) {
    for (const char* kind : {"SUCCESS", "ERROR", "WARNING"})
        if (text.compare(0, std::char_traits<char>::length(kind), kind) == 0) return false;
    return true;
}

bool kvStatusQueue::Push(const std::string& text) {
    const bool progress = IsProgress(text);
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
