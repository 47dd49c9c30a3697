// The held search: removing an entry along the list keeps slots, chain and
// count in step and says which entry is selected next; the results title.
#include "held_search.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A held set of articles whose subjects are the given letters, chained in slot order.
kvHeldSearch Holding(const std::string& subjects) {
    kvHeldSearch held;
    held.results = std::make_unique<kvResultSet>();
    for (std::size_t i = 0; i < subjects.size(); ++i) {
        auto article = std::make_unique<kvArticle>();
        article->subject[0] = subjects[i];
        held.results->Append(std::move(article));
    }
    return held;
}

std::string Slots(const kvHeldSearch& held) {
    std::string out;
    for (int i = 0; i < held.results->Size(); ++i)
        out += held.results->At(i).subject;
    return out;
}

std::string Chain(const kvHeldSearch& held) {
    std::string out;
    for (const kvArticle* a = held.results->First(); a; a = a->next)
        out += a->subject;
    return out;
}

TEST(HeldSearch, RemovingAnEntry) {
    struct Case {
        const char* held;
        int entry;
        const char* left;
        int selected; // the result, and lastSelection afterwards
    };
    const Case cases[] = {
        {"ABCDE", 0, "BCDE", 0},  {"ABCDE", 4, "ABCD", 3},
        {"ABCDE", 2, "ABDE", 1},  {"ABCDE", 1, "ACDE", 0},
        {"ABCDE", -1, "BCDE", 0}, {"ABCDE", 5, "BCDE", 0},
        {"AB", 1, "A", 0},        {"AB", 0, "B", 0},
        {"A", 0, "A", -1}, // the last article stays
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.held) + " without " + std::to_string(c.entry));
        kvHeldSearch held = Holding(c.held);
        held.lastSelection = 7;
        EXPECT_EQ(held.RemoveAt(c.entry), c.selected);
        EXPECT_EQ(Slots(held), c.left);
        EXPECT_EQ(Chain(held), c.left);
        EXPECT_EQ(held.Count(), static_cast<int>(std::string(c.left).size()));
        EXPECT_EQ(held.lastSelection, c.selected < 0 ? 7 : c.selected);
    }
}

TEST(HeldSearch, NothingHeld) {
    kvHeldSearch held;
    EXPECT_FALSE(held.HoldsArticles());
    EXPECT_EQ(held.Count(), 0);
    EXPECT_EQ(held.At(0), nullptr);
    EXPECT_EQ(held.RemoveAt(0), -1);
    EXPECT_EQ(held.Title(), "");
}

TEST(HeldSearch, EntriesOutsideTheSetAreNone) {
    kvHeldSearch held = Holding("ABC");
    EXPECT_TRUE(held.HoldsArticles());
    for (int entry : {-1, 3, KV_MAX_ARTICLES})
        EXPECT_EQ(held.At(entry), nullptr) << entry;
    ASSERT_NE(held.At(2), nullptr);
    EXPECT_STREQ(held.At(2)->subject, "C");
    held.Drop();
    EXPECT_EQ(held.results, nullptr);
    EXPECT_EQ(held.At(0), nullptr);
}

TEST(HeldSearch, TitleSaysWhereTheResultsCameFrom) {
    struct Case {
        int loadedFromFile;
        const char* title;
    };
    const Case cases[] = {{0, "Results for: kernel panic"}, {1, "File old.kvx: kernel panic"}};
    for (const Case& c : cases) {
        kvHeldSearch held;
        held.summary = std::make_unique<kvSearchSummary>();
        CopyField(held.summary->pattern, "kernel panic");
        CopyField(held.summary->sourceFile, "old.kvx");
        held.summary->loadedFromFile = c.loadedFromFile;
        EXPECT_EQ(held.Title(), c.title);
    }
}

} // namespace
