// The results list's columns: the text each shows for an article and the
// orders a click on a column header puts the list in. No wx: the view shows
// the texts and applies the orders (ui/results_view.h).
//
// GUI thread only. An order is a list of slots of the result set; the set
// itself, and with it what is saved and what the slots name, never changes.
#pragma once
#include "records.h"

#include <cstdint>
#include <string>
#include <vector>

enum kvColumn { COLUMN_SUBJECT = 0, COLUMN_FROM = 1, COLUMN_DATE = 2, COLUMN_LINES = 3 };
constexpr int KV_COLUMNS = 4;

// What the columns show for one article, valid UTF-8.
struct kvColumnTexts {
    std::string subject; // decoded
    std::string from;    // the author's decoded name, else the address
    std::string date;    // local time "YYYY-MM-DD HH:MM", else the field as stored
    std::string lines;   // the Lines field, "" without one
};
kvColumnTexts ColumnTexts(const kvArticle& article);

// The author's name from a From field: the decoded phrase before "<address>"
// or the decoded comment after a bare address, quotes taken off; the address
// when there is no name, and the decoded field when there is neither.
std::string AuthorName(const char* from);

// A Date field as local time "YYYY-MM-DD HH:MM"; "" when it cannot be read.
std::string ShortLocalDate(const char* date);

// How the view is ordered: by the program's subject grouping (column -1) or
// by one column, up or down. A click on a header sorts up by that column, a
// second one down, a third goes back to the grouping.
struct kvViewOrder {
    int column = -1;
    bool ascending = true;
    void Click(int clicked);
    bool Grouped() const { return column < 0; }
};

// The slots 0..n-1 of `articles` in the order given: the grouping keeps them as
// they are; a column sorts by its value (subject and author without regard to
// letter case, date by the moment, an unreadable or missing date or Lines
// last), articles with equal values keeping their grouping order.
std::vector<int> OrderedSlots(const std::vector<const kvArticle*>& articles,
                              const kvViewOrder& order);
