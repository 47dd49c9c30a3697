// korvex-cli's options as parsed in-process: the header limit's words.
#include "cli_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Parse(std::vector<const char*> extra, kvCliOptions& o) {
    std::vector<const char*> argv = {"korvex-cli", "search", "--server",  "h",
                                     "--group",    "g",      "--pattern", "p"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return ParseCliOptions(static_cast<int>(argv.size()), argv.data(), o);
}

TEST(CliOptions, MaxHeadersTakesWholeAsAWordInAnyCase) {
    const struct {
        const char* value;
        const char* stored; // nullptr: refused
    } cases[] = {{"whole", "whole"}, {"WHOLE", "whole"},  {"Whole", "whole"},  {"all", "all"},
                 {"700", "700"},     {"wholes", nullptr}, {"whole ", nullptr}, {"", nullptr}};
    for (const auto& c : cases) {
        kvCliOptions o;
        std::string error = Parse({"--max-headers", c.value}, o);
        if (c.stored == nullptr) {
            EXPECT_NE(error.find("--max-headers takes"), std::string::npos) << c.value;
            continue;
        }
        EXPECT_EQ(error, "") << c.value;
        EXPECT_STREQ(o.request.maxHeaders, c.stored);
        EXPECT_EQ(ScansWholeGroup(o.request), std::string(c.stored) == "whole");
    }
    // The article limit has no such word.
    kvCliOptions o;
    EXPECT_NE(Parse({"--max-articles", "whole"}, o), "");
    EXPECT_STRNE(o.request.maxArticles, "whole");
}

TEST(CliOptions, UsageNamesTheWholeGroup) {
    EXPECT_NE(std::string(KV_CLI_USAGE).find("[--max-headers N|all|whole]"), std::string::npos);
}

} // namespace
