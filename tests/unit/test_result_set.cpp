// The result set keeps its records, their order and the `next` chain in step
// through every change: sequences of appends, removals, sorts and clears run
// against a plain list of subjects kept here, refusals change nothing.
#include "result_set.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using Subjects = std::vector<std::string>;

struct Step {
    enum Kind { APPEND, APPEND_NULL, REMOVE_AT, SORT, CLEAR, FILL_TO } kind;
    std::string subject; // APPEND
    int index = 0;       // REMOVE_AT; FILL_TO: the size to reach
    bool accepted = true;
    Subjects sorted; // SORT: the order afterwards
};

Step Add(const std::string& subject, bool accepted = true) {
    return {Step::APPEND, subject, 0, accepted, {}};
}
Step AddNull() {
    return {Step::APPEND_NULL, "", 0, false, {}};
}
Step Remove(int index, bool accepted = true) {
    return {Step::REMOVE_AT, "", index, accepted, {}};
}
Step Sort(const Subjects& after) {
    return {Step::SORT, "", 0, true, after};
}
Step Clear() {
    return {Step::CLEAR, "", 0, true, {}};
}
Step FillTo(int size) {
    return {Step::FILL_TO, "", size, true, {}};
}

std::unique_ptr<kvArticle> Record(const std::string& subject) {
    auto article = std::make_unique<kvArticle>();
    CopyField(article->subject, subject.c_str());
    return article;
}

std::vector<const kvArticle*> Records(const kvResultSet& set) {
    std::vector<const kvArticle*> out;
    for (int i = 0; i < set.Size(); ++i)
        out.push_back(&set.At(i));
    return out;
}

// The set holds the reference's subjects in its order; the chain from First()
// and the iteration visit exactly the slots in order.
void ExpectMatches(const kvResultSet& set, const Subjects& want) {
    ASSERT_EQ(set.Size(), static_cast<int>(want.size()));
    for (int i = 0; i < set.Size(); ++i)
        ASSERT_EQ(set.At(i).subject, want[static_cast<std::size_t>(i)]) << "slot " << i;
    std::vector<const kvArticle*> slots = Records(set), chained, iterated;
    for (const kvArticle* a = set.First(); a != nullptr && chained.size() <= want.size();
         a = a->next)
        chained.push_back(a);
    EXPECT_EQ(chained, slots) << "the chain leaves slot order or does not end";
    for (const kvArticle& a : set)
        iterated.push_back(&a);
    EXPECT_EQ(iterated, slots);
    if (want.empty()) {
        EXPECT_EQ(set.First(), nullptr);
    }
}

TEST(ResultSet, SequencesKeepSlotsChainAndSizeInStep) {
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"appends", {Add("a"), Add("b"), Add("c")}},
        {"refused removals",
         {Remove(0, false), Add("a"), Remove(1, false), Remove(-1, false), Remove(5000, false)}},
        {"null record", {AddNull(), Add("a"), AddNull()}},
        {"remove first, middle, last, only",
         {Add("a"), Add("b"), Add("c"), Add("d"), Add("e"), Remove(0), Remove(1), Remove(2),
          Remove(0), Remove(0), Remove(0, false)}},
        {"sort groups replies with their subject",
         {Add("P"), Add("Q"), Add("Re: P"), Add("S"), Add("P"), Sort({"P", "Re: P", "P", "S", "Q"}),
          Remove(1), Add("re: Q"), Sort({"P", "P", "S", "Q", "re: Q"})}},
        {"one reply prefix, with its blank, in any case",
         {Add("a"), Add("re: b"), Add("RE:b"), Add("b"), Sort({"a", "re: b", "b", "RE:b"})}},
        {"sort of none and of one", {Sort({}), Add("x"), Sort({"x"})}},
        {"clear and start again",
         {Add("a"), Add("b"), Clear(), Clear(), Add("c"), Remove(1, false), Add("d")}},
        {"capacity",
         {FillTo(KV_MAX_ARTICLES), Add("over", false), AddNull(), Remove(KV_MAX_ARTICLES, false),
          Remove(KV_MAX_ARTICLES - 1), Add("last"), Add("over", false), Remove(0), Add("again"),
          Clear(), FillTo(3)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        kvResultSet set;
        Subjects want;
        int stepNumber = 0;
        for (const Step& step : c.steps) {
            SCOPED_TRACE("step " + std::to_string(++stepNumber));
            std::vector<const kvArticle*> before = Records(set);
            bool done = true;
            switch (step.kind) {
            case Step::APPEND:
                done = set.Append(Record(step.subject));
                if (step.accepted) want.push_back(step.subject);
                break;
            case Step::APPEND_NULL:
                done = set.Append(nullptr);
                break;
            case Step::REMOVE_AT:
                done = set.RemoveAt(step.index);
                if (step.accepted) want.erase(want.begin() + step.index);
                break;
            case Step::SORT:
                ASSERT_TRUE(std::is_permutation(want.begin(), want.end(), step.sorted.begin(),
                                                step.sorted.end()))
                    << "the table's order is not the set's subjects";
                set.SortBySubject();
                want = step.sorted;
                break;
            case Step::CLEAR:
                set.Clear();
                want.clear();
                break;
            case Step::FILL_TO:
                while (static_cast<int>(want.size()) < step.index) {
                    std::string subject = "fill " + std::to_string(want.size());
                    ASSERT_TRUE(set.Append(Record(subject)));
                    want.push_back(subject);
                }
                break;
            }
            EXPECT_EQ(done, step.accepted);
            ExpectMatches(set, want);
            if (!step.accepted) {
                EXPECT_EQ(Records(set), before) << "a refusal changed the set";
            }
            if (step.kind == Step::REMOVE_AT && step.accepted) {
                before.erase(before.begin() + step.index);
                EXPECT_EQ(Records(set), before) << "the other records are kept as they were";
            }
        }
    }
}

TEST(ResultSet, MovingHandsTheRecordsOverAndEmptiesTheSource) {
    kvResultSet from;
    ASSERT_TRUE(from.Append(Record("a")));
    ASSERT_TRUE(from.Append(Record("b")));
    const kvArticle* first = from.First();
    kvResultSet to(std::move(from));
    ExpectMatches(to, {"a", "b"});
    EXPECT_EQ(to.First(), first);
    ExpectMatches(from, {}); // NOLINT(bugprone-use-after-move): a moved-from set is empty

    kvResultSet other;
    ASSERT_TRUE(other.Append(Record("c")));
    other = std::move(to);
    ExpectMatches(other, {"a", "b"});
    ExpectMatches(to, {}); // NOLINT(bugprone-use-after-move): a moved-from set is empty
    ASSERT_TRUE(to.Append(Record("d"))); // a moved-from set is usable again
    ExpectMatches(to, {"d"});
}

} // namespace
