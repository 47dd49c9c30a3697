// Choosing newsgroups for a sweep: the wildmat of a --group list, matched
// against names as written out by hand; the checks that refuse a malformed
// list; the reading of a LIST ACTIVE answer.
#include "group_list.h"
#include "group_wildmat.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

TEST(GroupWildmat, WildcardsMatchWholeNames) {
    EXPECT_TRUE(WildmatMatches("comp.lang.*", "comp.lang.c"));
    EXPECT_TRUE(WildmatMatches("comp.lang.*", "comp.lang.c++.moderated"));
    EXPECT_TRUE(WildmatMatches("comp.lang.*", "comp.lang."));
    EXPECT_FALSE(WildmatMatches("comp.lang.*", "comp.lang"));
    EXPECT_FALSE(WildmatMatches("comp.lang.*", "xcomp.lang.c"));
    EXPECT_TRUE(WildmatMatches("*", "anything.at.all"));
    EXPECT_TRUE(WildmatMatches("*.test", "korvex.test"));
    EXPECT_FALSE(WildmatMatches("*.test", "korvex.test.small"));
    EXPECT_TRUE(WildmatMatches("a*b*c", "aXXbYYc"));
    EXPECT_FALSE(WildmatMatches("a*b*c", "aXXbYY"));
    EXPECT_TRUE(WildmatMatches("alt.???", "alt.foo"));
    EXPECT_FALSE(WildmatMatches("alt.???", "alt.fo"));
    EXPECT_FALSE(WildmatMatches("alt.???", "alt.fooo"));
    EXPECT_TRUE(WildmatMatches("alt.test", "alt.test"));
    EXPECT_FALSE(WildmatMatches("alt.test", "alt.tests"));
    EXPECT_FALSE(WildmatMatches("alt.test", "Alt.test")); // names are compared as they are
}

TEST(GroupWildmat, CharacterSetsAndPlainCharacters) {
    EXPECT_TRUE(WildmatMatches("news.[abc]", "news.b"));
    EXPECT_FALSE(WildmatMatches("news.[abc]", "news.d"));
    EXPECT_TRUE(WildmatMatches("news.[a-c]x", "news.cx"));
    EXPECT_FALSE(WildmatMatches("news.[a-c]x", "news.dx"));
    EXPECT_TRUE(WildmatMatches("news.[^a-c]", "news.z"));
    EXPECT_FALSE(WildmatMatches("news.[^a-c]", "news.a"));
    EXPECT_TRUE(WildmatMatches("news.[!0-9]", "news.q"));
    EXPECT_FALSE(WildmatMatches("news.[!0-9]", "news.7"));
    EXPECT_TRUE(WildmatMatches("x[]]y", "x]y"));  // ']' first stands for itself
    EXPECT_TRUE(WildmatMatches("x[-a]y", "x-y")); // so does a '-' first
    EXPECT_TRUE(WildmatMatches("a\\*b", "a*b"));  // an escaped '*' is a '*'
    EXPECT_FALSE(WildmatMatches("a\\*b", "axxb"));
    EXPECT_TRUE(WildmatMatches("a\\?", "a?"));
    EXPECT_FALSE(WildmatMatches("a\\?", "ab"));
}

TEST(GroupWildmat, TheLastMatchingItemDecides) {
    const std::string list = "comp.lang.*,!comp.lang.java.*";
    EXPECT_TRUE(WildmatMatches(list, "comp.lang.c"));
    EXPECT_FALSE(WildmatMatches(list, "comp.lang.java.help"));
    EXPECT_FALSE(WildmatMatches(list, "sci.math"));
    // Taken again by a later item.
    const std::string again = "comp.*,!comp.lang.*,comp.lang.c";
    EXPECT_TRUE(WildmatMatches(again, "comp.lang.c"));
    EXPECT_FALSE(WildmatMatches(again, "comp.lang.perl"));
    EXPECT_TRUE(WildmatMatches(again, "comp.os.linux"));
    // An exclusion before anything is taken takes nothing.
    EXPECT_FALSE(WildmatMatches("!alt.*,sci.*", "alt.test"));
    EXPECT_TRUE(WildmatMatches("!alt.*,sci.*", "sci.math"));
    // Plain names in a list.
    EXPECT_TRUE(WildmatMatches("a.one,a.two", "a.two"));
    EXPECT_FALSE(WildmatMatches("a.one,a.two", "a.three"));
}

TEST(GroupWildmat, WhatCountsAsASelectionAndWhatIsRefused) {
    EXPECT_FALSE(IsGroupSelection("alt.test"));
    EXPECT_FALSE(IsGroupSelection("comp.lang.c++"));
    EXPECT_TRUE(IsGroupSelection("a.one,a.two"));
    EXPECT_TRUE(IsGroupSelection("comp.*"));
    EXPECT_TRUE(IsGroupSelection("alt.te?t"));
    EXPECT_TRUE(IsGroupSelection("alt.[ab]"));

    std::string why;
    EXPECT_TRUE(CheckGroupSelection("comp.lang.*,!comp.lang.java.*,sci.math", why)) << why;
    EXPECT_TRUE(CheckGroupSelection("a\\\\", why)) << why; // an escaped backslash
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"a.one,,a.two", "an empty item in the group list"},
        {"a.one,", "an empty item in the group list"},
        {"a.one,!", "an empty item in the group list"},
        {"a.one, a.two", "a space or control character in the group list"},
        {"a.one,a\ttwo", "a space or control character in the group list"},
        {"alt.[ab", "\"alt.[ab\" has a '[' without its ']'"},
        {"alt.x\\", "\"alt.x\\\" ends with a lone '\\'"},
        {"!alt.*,!sci.*", "the group list only excludes groups"},
    };
    for (const auto& [text, reason] : bad) {
        why.clear();
        EXPECT_FALSE(CheckGroupSelection(text, why)) << text;
        EXPECT_EQ(why, reason) << text;
    }
}

TEST(GroupWildmat, PlainItemsAreTheNamesWithoutPatterns) {
    EXPECT_EQ(PlainGroupItems("a.one,comp.*,!a.two,b.three"), (Names{"a.one", "b.three"}));
    EXPECT_EQ(PlainGroupItems("comp.*"), Names{});
}

TEST(ActiveList, NamesAreMatchedSortedAndAliasesFollowed) {
    const std::string response = "215 list of newsgroups follows\r\n"
                                 "korvex.test.small 0000000300 0000000001 y\r\n"
                                 "korvex.test.big 52000 1 n\r\n"
                                 "korvex.test.moderated 12 3 m\r\n"
                                 "korvex.test.closed 5 1 x\r\n"
                                 "korvex.test.old 0 1 =korvex.test.small\r\n"
                                 "korvex.test.moved 0 1 =korvex.other\r\n"
                                 "korvex.test.broken 12\r\n"
                                 "local.general 0 1 y\r\n"
                                 ".\r\n"
                                 "korvex.test.after 1 1 y\r\n";
    EXPECT_EQ(ReadActiveList(response.data(), response.size(), "korvex.test.*,!korvex.test.big"),
              (Names{"korvex.other", "korvex.test.closed", "korvex.test.moderated",
                     "korvex.test.small"}));
    EXPECT_EQ(ReadActiveList(response.data(), response.size(), "local.*"), Names{"local.general"});
    const std::string empty = "215 list follows\r\n.\r\n";
    EXPECT_EQ(ReadActiveList(empty.data(), empty.size(), "*"), Names{});
}

} // namespace
