// kvHeldSearch: the search the desktop program holds between a finished search
// (or a load) and Close current search: the result set, its summary, the UI
// state with `saved`, and the list entry the current article window last
// showed. No wx: the commands change it, the windows show it.
//
// GUI thread only. The search worker hands its results over whole; nothing
// here is shared with another thread.
#pragma once
#include "records.h"
#include "result_set.h"
#include "ui_state.h"

#include <memory>
#include <string>

struct kvHeldSearch {
    kvSTATE ui;
    std::unique_ptr<kvResultSet> results;     // held from a search or load until closed
    std::unique_ptr<kvSearchSummary> summary; // held with the results
    int lastSelection = 0;                    // the entry the current article window shows

    // True when a result set with at least one article is held.
    bool HoldsArticles() const { return results && results->First(); }
    // The number of held articles; 0 without a result set.
    int Count() const { return results ? results->Size() : 0; }
    // The record of list entry i, or null.
    const kvArticle* At(int i) const;

    // Removes entry s (0 when out of range) of a set of two or more: the
    // entries above move down a slot and the entry before it (the first when
    // s was the first) becomes lastSelection, which is returned. -1 and
    // nothing changed for a set of fewer than two.
    int RemoveAt(int s);

    // Lets go of the result set and the summary.
    void Drop();

    // The main frame's title while the results are shown: "Results for: "
    // and the pattern, or "File ", the file name, ": " and the pattern after a load;
    // valid UTF-8 with control characters made visible.
    std::string Title() const;
};
