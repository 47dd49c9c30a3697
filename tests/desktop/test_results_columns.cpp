// The results list's columns: what each shows for an article (the author's
// name, the local date) and the orders a header click gives.
#include "local_zone.h"
#include "results_columns.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace {

using korvex_test::LocalZone;

TEST(ResultsColumns, TheAuthorIsTheNameElseTheAddress) {
    const std::pair<const char*, const char*> cases[] = {
        {"\"Jane Q. Doe\" <jane@example.org>", "Jane Q. Doe"},
        {"Jane Doe <jane@example.org>", "Jane Doe"},
        {"=?UTF-8?Q?J=C3=BCrgen_M=C3=BCller?= <jm@example.de>", "J\xC3\xBCrgen M\xC3\xBCller"},
        {"=?ISO-8859-1?Q?Ren=E9?= <rene@example.fr>", "Ren\xC3\xA9"},
        {"bob@example.org (Bob Smith)", "Bob Smith"},
        {"<only@example.org>", "only@example.org"},
        {"\"\" <empty@example.org>", "empty@example.org"},
        {"plain@example.org", "plain@example.org"},
        {"<none>", ""},
    };
    for (const auto& [from, name] : cases)
        EXPECT_EQ(AuthorName(from), name) << from;
}

TEST(ResultsColumns, DatesAreShownInLocalTimeShortly) {
    {
        LocalZone zone("UTC0");
        EXPECT_EQ(ShortLocalDate("Wed, 09 Dec 2026 10:15:42 +0100"), "2026-12-09 09:15");
        EXPECT_EQ(ShortLocalDate("9 Dec 2026 23:59:59 -0200"), "2026-12-10 01:59");
    }
    {
        LocalZone zone("JST-9"); // nine hours east of UTC, no summer time
        EXPECT_EQ(ShortLocalDate("Wed, 09 Dec 2026 20:00:00 +0000"), "2026-12-10 05:00");
    }
    EXPECT_EQ(ShortLocalDate("yesterday, around noon"), "");
    EXPECT_EQ(ShortLocalDate("<none>"), "");

    // What a row shows: a date that cannot be read is shown as it stands.
    LocalZone zone("UTC0");
    kvArticle article;
    CopyField(article.subject, "=?UTF-8?B?w4RwZmVs?= and pears");
    CopyField(article.from, "Ann <ann@example.org>");
    CopyField(article.date, "sometime");
    article.lines = 42;
    kvColumnTexts texts = ColumnTexts(article);
    EXPECT_EQ(texts.subject, "\xC3\x84pfel and pears");
    EXPECT_EQ(texts.from, "Ann");
    EXPECT_EQ(texts.date, "sometime");
    EXPECT_EQ(texts.lines, "42");
    article.lines = -1;
    CopyField(article.date, "Thu, 01 Jan 2026 00:00:00 GMT");
    texts = ColumnTexts(article);
    EXPECT_EQ(texts.lines, "");
    EXPECT_EQ(texts.date, "2026-01-01 00:00");
}

TEST(ResultsColumns, HeaderClicksCycleUpDownAndBackToTheGrouping) {
    kvViewOrder order;
    EXPECT_TRUE(order.Grouped());
    order.Click(COLUMN_DATE);
    EXPECT_EQ(order.column, COLUMN_DATE);
    EXPECT_TRUE(order.ascending);
    order.Click(COLUMN_DATE);
    EXPECT_EQ(order.column, COLUMN_DATE);
    EXPECT_FALSE(order.ascending);
    order.Click(COLUMN_DATE);
    EXPECT_TRUE(order.Grouped());
    // Another column always starts upwards.
    order.Click(COLUMN_FROM);
    order.Click(COLUMN_FROM);
    order.Click(COLUMN_LINES);
    EXPECT_EQ(order.column, COLUMN_LINES);
    EXPECT_TRUE(order.ascending);
}

class OrderTest : public ::testing::Test {
  protected:
    void Add(const char* subject, const char* from, const char* date, int lines) {
        auto article = std::make_unique<kvArticle>();
        CopyField(article->subject, subject);
        CopyField(article->from, from);
        CopyField(article->date, date);
        article->lines = lines;
        owned.push_back(std::move(article));
        articles.push_back(owned.back().get());
    }
    std::vector<int> By(int column, bool ascending) {
        kvViewOrder order;
        order.column = column;
        order.ascending = ascending;
        return OrderedSlots(articles, order);
    }
    std::vector<std::unique_ptr<kvArticle>> owned;
    std::vector<const kvArticle*> articles;
};

TEST_F(OrderTest, ColumnsSortTheirOwnWayWithTiesInGroupingOrder) {
    Add("beta", "Carol <c@x>", "Tue, 08 Dec 2026 10:00:00 +0000", 12); // 0
    Add("Alpha", "alice@x", "Tue, 08 Dec 2026 12:00:00 +0200", 3);     // 1 (10:00 UTC)
    Add("beta", "bob@x (Bob)", "garbled", -1);                         // 2
    Add("=?UTF-8?Q?alpha?=", "Carol <c2@x>", "Mon, 07 Dec 2026 23:00:00 -0500", 100); // 3

    EXPECT_EQ(By(-1, true), (std::vector<int>{0, 1, 2, 3}));
    // Subjects decoded and without regard to case; equal ones stay in order.
    EXPECT_EQ(By(COLUMN_SUBJECT, true), (std::vector<int>{1, 3, 0, 2}));
    EXPECT_EQ(By(COLUMN_SUBJECT, false), (std::vector<int>{0, 2, 1, 3}));
    // Authors by what the column shows: alice@x, Bob, Carol, Carol.
    EXPECT_EQ(By(COLUMN_FROM, true), (std::vector<int>{1, 2, 0, 3}));
    // Dates by the moment: 3 is 04:00 UTC on the 8th, 0 and 1 are both
    // 10:00 UTC; the unreadable date is last either way.
    EXPECT_EQ(By(COLUMN_DATE, true), (std::vector<int>{3, 0, 1, 2}));
    EXPECT_EQ(By(COLUMN_DATE, false), (std::vector<int>{0, 1, 3, 2}));
    // Lines as numbers (100 after 12), a missing count last either way.
    EXPECT_EQ(By(COLUMN_LINES, true), (std::vector<int>{1, 0, 3, 2}));
    EXPECT_EQ(By(COLUMN_LINES, false), (std::vector<int>{3, 0, 1, 2}));
}

} // namespace
