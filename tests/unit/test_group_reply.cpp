// The GROUP reply's three numbers as the search run reads them: what is
// accepted, what is refused, and the 31-bit limit on every article number.
#include "group_reply.h"

#include <gtest/gtest.h>

namespace {

TEST(ParseGroupReply, AcceptedRepliesGiveCountFirstAndLast) {
    struct Case {
        const char* reply;
        long count, first, last;
    };
    const Case accepted[] = {
        {"211 1234 3000234 3002322 misc.test\r\n", 1234, 3000234, 3002322},
        {"211 0 0 0 empty.group", 0, 0, 0},
        {"211 10 1 10", 10, 1, 10}, // no group name after the numbers
        {"211 2147483647 1 2147483647 big", 2147483647, 1, 2147483647},
        {"211 +5 +1 +5 g", 5, 1, 5},   // a plus sign is read over
        {"211 -0 1 2 g", 0, 1, 2},     // minus zero is still zero
        {"211 3 10 5 g", 3, 10, 5},    // first above last is not checked here
        {"211 10x 1 10 g", 10, 1, 10}, // a number ends at its first non-digit
        {"211 007 08 09", 7, 8, 9},
    };
    for (const Case& c : accepted) {
        SCOPED_TRACE(c.reply);
        long count = -1, first = -1, last = -1;
        ASSERT_TRUE(ParseGroupReply(c.reply, count, first, last));
        EXPECT_EQ(count, c.count);
        EXPECT_EQ(first, c.first);
        EXPECT_EQ(last, c.last);
    }
}

TEST(ParseGroupReply, RefusedReplies) {
    for (const char* reply : {
             "211",                             // no numbers at all
             "211 10 1",                        // the last number missing
             "211 10 1 ",                       // a blank, then nothing
             "211 - 1 10 g",                    // a bare sign
             "211 10 + 10 g",                   // a bare sign in the middle
             "211 -5 1 10 g",                   // negative count
             "211 10 -1 10 g",                  // negative first
             "211 10 1 -10 g",                  // negative last
             "211 2147483648 1 10 g",           // one above 2^31-1
             "211 10 1 2147483648 g",           // last above 2^31-1
             "211 10 1 99999999999999999999 g", // far above, no wrap-around
             "211  10 1 10 g",                  // two blanks: the first number is empty
             "211 ten 1 10 g",
             "",
         }) {
        long count = 0, first = 0, last = 0;
        EXPECT_FALSE(ParseGroupReply(reply, count, first, last)) << '"' << reply << '"';
    }
}

TEST(DecodeArticleNumber, SignsDigitsAndTheLimit) {
    struct Case {
        const char* text;
        bool ok;
        long number;
    };
    const Case cases[] = {
        {"0", true, 0},
        {"42 rest", true, 42},
        {"+17", true, 17},
        {"-0", true, 0},
        {"-1", false, 0},
        {"2147483647", true, 2147483647},
        {"2147483648", false, 0},
        {"00000000002147483647", true, 2147483647}, // leading zeros do not count
        {"", true, 0},                              // no digits read as 0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        long number = -7;
        EXPECT_EQ(DecodeArticleNumber(c.text, number), c.ok);
        EXPECT_EQ(number, c.ok ? c.number : -7); // left alone when refused
    }
}

} // namespace
