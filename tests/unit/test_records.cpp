#include "credentials.h"
#include "records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

kvSearchRequest Request(const char* timeLimit, const char* maxHeaders, const char* maxArticles) {
    kvSearchRequest r;
    CopyField(r.timeLimit, timeLimit);
    CopyField(r.maxHeaders, maxHeaders);
    CopyField(r.maxArticles, maxArticles);
    return r;
}

// Clear wipes every byte the password's buffer ever held: a shorter password
// written over a longer one leaves the longer one's tail behind otherwise.
TEST(Credentials, ClearWipesTheWholeBufferOfThePassword) {
    kvCredentials login;
    login.user = "reader";
    login.password = "a long password, longer than any short-string buffer";
    login.password = "short";
    const char* buffer = login.password.data();
    std::size_t capacity = login.password.capacity();
    ASSERT_GT(capacity, 40u);
    login.Clear();
    ASSERT_EQ(login.password.data(), buffer) << "the buffer is kept, so it can be looked at";
    for (std::size_t i = 0; i < capacity; ++i)
        EXPECT_EQ(buffer[i], '\0') << "byte " << i;
    EXPECT_TRUE(login.password.empty());
    EXPECT_TRUE(login.user.empty());
}

TEST(Records, RequestDefaults) {
    kvSearchRequest r;
    EXPECT_STREQ(r.header, "Subject");
    EXPECT_STREQ(r.timeLimit, "any");
    EXPECT_STREQ(r.maxArticles, "all");
    EXPECT_STREQ(r.maxHeaders, "4000");
    EXPECT_EQ(r.matchMode, MATCH_ANY_WORD);
    EXPECT_EQ(r.ignoreCase, 1);
    EXPECT_EQ(r.timeoutSeconds, 30);
    kvSearchSummary s;
    EXPECT_EQ(s.loadedFromFile, 0);
    EXPECT_EQ(std::string(s.sourceFile, sizeof s.sourceFile),
              std::string(sizeof s.sourceFile, '\0'));
}

TEST(Records, EffectiveLimits) {
    struct Case {
        const char *timeLimit, *maxHeaders, *maxArticles;
        int seconds, headers, articles;
    };
    const Case cases[] = {
        {"any", "4000", "all", 0, 4000, 1024},
        {"0", "all", "0", 0, 51200, 1024},
        {"-5", "0", "-3", 0, 51200, 1024},
        {"", "51201", "10", 0, 51200, 10},
        {"1", "51200", "1024", 60, 51200, 1024},
        {"999", "1", "5000", 59940, 1, 1024},
        {"anything", "alle", "allx", 0, 51200, 1024},
        {" 12x", " +700", "7 articles", 720, 700, 7},
        {"abc", "x", "y", 0, 51200, 1024},
    };
    for (const Case& c : cases) {
        kvSearchRequest r = Request(c.timeLimit, c.maxHeaders, c.maxArticles);
        EXPECT_EQ(EffectiveTimeLimitSeconds(r), c.seconds) << c.timeLimit;
        EXPECT_EQ(EffectiveMaxHeaders(r), c.headers) << c.maxHeaders;
        EXPECT_EQ(EffectiveMaxArticles(r), c.articles) << c.maxArticles;
    }
}

// "whole" is a word of its own: a program that does not know it reads it as
// "all" (every article number it reads is not a number), and no other text
// stands for it.
TEST(Records, WholeGroupIsTheExactWordAndReadsAsAllOtherwise) {
    const struct {
        const char* maxHeaders;
        bool whole;
    } cases[] = {{"whole", true}, {"all", false},   {"Whole", false}, {"wholes", false},
                 {"whol", false}, {"51200", false}, {"", false},      {" whole", false}};
    for (const auto& c : cases) {
        kvSearchRequest r = Request("any", c.maxHeaders, "all");
        EXPECT_EQ(ScansWholeGroup(r), c.whole) << c.maxHeaders;
    }
    EXPECT_EQ(EffectiveMaxHeaders(Request("any", "whole", "all")),
              EffectiveMaxHeaders(Request("any", "all", "all")));
    EXPECT_EQ(EffectiveMaxHeaders(Request("any", "whole", "all")), 51200);
}

TEST(Records, DecodeNumberReadsLeadingDecimal) {
    EXPECT_EQ(DecodeNumber("  42abc"), 42);
    EXPECT_EQ(DecodeNumber("-17"), -17);
    EXPECT_EQ(DecodeNumber("+8"), 8);
    EXPECT_EQ(DecodeNumber("x1"), 0);
    EXPECT_EQ(DecodeNumber(""), 0);
    EXPECT_EQ(DecodeNumber("- 3"), 0);
    EXPECT_GT(DecodeNumber("99999999999999999999999999"), 0); // clamped, never wraps
}

TEST(Records, CopyFieldNeverOverflows) {
    char field[8];
    std::memset(field, 'z', sizeof field);
    CopyField(field, "0123456789");
    EXPECT_STREQ(field, "0123456");
    CopyFieldN(field, sizeof field, "ab\0cd", 5);
    EXPECT_EQ(std::memcmp(field, "ab\0cd\0", 6), 0);
    EXPECT_TRUE(IsMissing("<none>"));
    EXPECT_TRUE(IsMissing("<none> and more"));
    EXPECT_FALSE(IsMissing("<non"));
}

TEST(Records, LocalTimeHas24Characters) {
    char date[KV_DATE_SIZE];
    FormatLocalTime(date);
    ASSERT_EQ(std::strlen(date), 24u) << date;
    EXPECT_EQ(date[3], ' ');
    EXPECT_EQ(date[7], ' ');
    EXPECT_EQ(date[13], ':');
    EXPECT_EQ(date[16], ':');
    EXPECT_EQ(date[19], ' ');
}

} // namespace
