// Date field reading: the forms articles carry, each with its UTC time written by hand.
#include "mail_date.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

std::string Iso(const char* date) {
    std::int64_t seconds = 0;
    return ParseMailDate(date, seconds) ? FormatIsoUtc(seconds) : "cannot parse";
}

TEST(MailDate, ReadsTheFormsArticlesCarry) {
    struct Case {
        const char* date;
        const char* utc;
    };
    const Case cases[] = {
        {"Tue, 08 Dec 2026 22:09:47 +0100", "2026-12-08T21:09:47Z"},
        {"Tue, 8 Dec 2026 22:09:47 -0530", "2026-12-09T03:39:47Z"},
        {"8 Dec 2026 22:09:47 +0000", "2026-12-08T22:09:47Z"},          // no weekday
        {"Tuesday, 8 December 2026 22:09 GMT", "2026-12-08T22:09:00Z"}, // full names, no seconds
        {"Mon, 1 Mar 99 00:00:00 EST", "1999-03-01T05:00:00Z"}, // two-digit year, named zone
        {"Sun, 1 Mar 49 23:30:00 PDT", "2049-03-02T06:30:00Z"},
        {"1 Jan 101 12:00:00 UT", "2001-01-01T12:00:00Z"}, // three-digit year
        {"Fri, 13 Nov 2026 10:00:00 +0100 (CET)", "2026-11-13T09:00:00Z"},
        {"Fri, 13 Nov 2026 10:00:00 +0000 GMT", "2026-11-13T10:00:00Z"},
        {"Fri (a (nested) comment), 13 Nov 2026 10 : 00 : 00 CST", "2026-11-13T16:00:00Z"},
        {"13 nov 2026 10:00:00 cdt", "2026-11-13T15:00:00Z"},
        {"13 Nov 2026 10:00:00 MST", "2026-11-13T17:00:00Z"},
        {"13 Nov 2026 10:00:00 MDT", "2026-11-13T16:00:00Z"},
        {"13 Nov 2026 10:00:00 EDT", "2026-11-13T14:00:00Z"},
        {"13 Nov 2026 10:00:00 PST", "2026-11-13T18:00:00Z"},
        {"13 Nov 2026 10:00:00 Q", "2026-11-13T10:00:00Z"},    // military letter: -0000
        {"13 Nov 2026 10:00:00 CEST", "2026-11-13T10:00:00Z"}, // other names too
        {"13 Nov 2026 10:00:00", "2026-11-13T10:00:00Z"},      // no zone
        {"Thu, 29 Feb 2024 23:59:59 -0000", "2024-02-29T23:59:59Z"},
        {"Thu, 01 Jan 1970 00:00:00 +0100", "1969-12-31T23:00:00Z"},
        {"Tue Dec  8 22:09:47 2026", "2026-12-08T22:09:47Z"}, // asctime order
        {"", "cannot parse"},
        {"<none>", "cannot parse"},
        {"yesterday", "cannot parse"},
        {"Tue, 8 Dec 2026", "cannot parse"},            // no time
        {"30 Feb 2026 10:00:00 +0000", "cannot parse"}, // no such day
        {"29 Feb 2100 10:00:00 +0000", "cannot parse"}, // not a leap year
        {"8 Dec 2026 24:00:00 +0000", "cannot parse"},  // hour past 23
        {"8 Dec 2026 10:60:00 +0000", "cannot parse"},  // minute past 59
        {"8 Dec 2026 10:00:00 +01", "cannot parse"},    // short zone
        {"8 Dec 2026 10:00:00 +0175", "cannot parse"},  // zone minutes past 59
        {"8 Foo 2026 10:00:00 +0000", "cannot parse"},  // no such month
        {"8 Dec 2026 10:00:00 +0000 and more text", "cannot parse"},
        {"8 Dec 2026 10:00:00 +0000 ;", "cannot parse"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Iso(c.date), c.utc) << c.date;
}

TEST(MailDate, CountsSecondsFromTheEpoch) {
    std::int64_t seconds = -1;
    ASSERT_TRUE(ParseMailDate("Thu, 01 Jan 1970 00:00:00 GMT", seconds));
    EXPECT_EQ(seconds, 0);
    ASSERT_TRUE(ParseMailDate("Sat, 01 Jan 2000 00:00:00 +0000", seconds));
    EXPECT_EQ(seconds, 946684800);
    EXPECT_EQ(FormatAscTimeUtc(946684800), "Sat Jan  1 00:00:00 2000");
    EXPECT_EQ(FormatAscTimeUtc(946684800 + 9 * 86400 + 3661), "Mon Jan 10 01:01:01 2000");
    EXPECT_EQ(FormatIsoUtc(-1), "1969-12-31T23:59:59Z");
}

} // namespace
