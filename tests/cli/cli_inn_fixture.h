// korvex-cli against the local test news server, with a fresh folder for the
// files a test has it write. Skips, or fails under KORVEX_REQUIRE_INN=1, unless
// the server holds the generated articles.
#pragma once

#include "cli_runner.h"
#include "inn_search_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace korvex_test {

class CliInnTest : public InnSearch {
  protected:
    void SetUp() override {
        InnSearch::SetUp();
        if (IsSkipped() || HasFailure()) return;
        dir = MakeTempDir();
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override {
        if (!dir.empty()) std::filesystem::remove_all(dir);
    }
    std::string dir;
};

} // namespace korvex_test
