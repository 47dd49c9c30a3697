#include "held_search.h"

#include "utf8_text.h"

const kvArticle* kvHeldSearch::At(int i) const {
    if (!results || i < 0 || i >= results->Size()) return nullptr;
    return &results->At(i);
}

int kvHeldSearch::RemoveAt(int s) {
    int count = Count();
    if (count < 2) return -1;
    if (s < 0 || s >= count) s = 0;
    results->RemoveAt(s);
    lastSelection = s > 0 ? s - 1 : 0;
    return lastSelection;
}

void kvHeldSearch::Drop() {
    results.reset();
    summary.reset();
}

std::string kvHeldSearch::Title() const {
    if (!summary) return std::string();
    if (summary->loadedFromFile) {
        return "File " + ReadableText(summary->sourceFile) + ": " + ReadableText(summary->pattern);
    }
    return "Results for: " + ReadableText(summary->pattern);
}
