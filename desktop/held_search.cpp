#include "held_search.h"

#include "article.h"
#include "utf8_text.h"

const kvArticle* kvHeldSearch::At(int i) const {
    if (!results || i < 0 || i >= results->count || i >= KV_MAX_ARTICLES) return nullptr;
    return results->slots[i].get();
}

int kvHeldSearch::RemoveAt(int s) {
    int count = Count();
    if (count < 2) return -1;
    if (s < 0 || s >= count) s = 0;
    kvResultSet& set = *results;
    set.slots[s].reset();
    for (int i = s; i < count - 1; ++i)
        set.slots[i] = std::move(set.slots[i + 1]);
    set.slots[count - 1].reset();
    set.count = count - 1;
    RelinkArticles(set, set.count);
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
