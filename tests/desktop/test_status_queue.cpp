// The queue between a search and a GUI thread that cannot show every
// progress message: which messages may be skipped, and that order and the
// last message survive.
#include "status_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

// The kind a search gives the messages these tests push, told by their prefix.
kvStatusKind KindOf(const std::string& text) {
    if (text.rfind("SUCCESS", 0) == 0) return kvStatusKind::Result;
    if (text.rfind("ERROR", 0) == 0) return kvStatusKind::Error;
    if (text.rfind("WARNING", 0) == 0) return kvStatusKind::Warning;
    return kvStatusKind::Progress;
}

TEST(StatusQueue, ProgressMessagesAreTheOnesThatMayBeSkipped) {
    const struct {
        const char* text;
        kvStatusKind kind;
        bool progress;
    } rows[] = {
        {"Scanning headers... (42% done)", kvStatusKind::Progress, true},
        {"SEARCH: Receiving article 7 of 1024 requested...", kvStatusKind::Progress, true},
        {"Korvex: Article received", kvStatusKind::Progress, true},
        {"Korvex: Sorting articles...", kvStatusKind::Progress, true},
        {"Finished receiving articles; Closing connection...", kvStatusKind::Progress, true},
        {"SUCCESS: 12 articles received", kvStatusKind::Result, false},
        {"ERROR: connection failure; 5 complete articles received", kvStatusKind::Error, false},
        {"ERROR: Socket read failure", kvStatusKind::Error, false},
        {"WARNING: Search time expired, stopped.", kvStatusKind::Warning, false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(kvStatusQueue::IsProgress(row.kind), row.progress) << row.text;
}

TEST(StatusQueue, WaitingProgressIsReplacedOthersAreKeptInOrder) {
    // Each step: a message pushed, or "|" for the GUI thread taking what waits.
    const struct {
        const char* name;
        Strings steps;
        std::vector<Strings> taken;
        int wakes;
    } rows[] = {
        {"every message taken at once",
         {"Korvex: a", "|", "Korvex: b", "|"},
         {{"Korvex: a"}, {"Korvex: b"}},
         2},
        {"progress overwritten while waiting",
         {"Korvex: a", "Korvex: b", "Korvex: c", "|"},
         {{"Korvex: c"}},
         1},
        {"a warning stays between progress",
         {"Korvex: a", "Korvex: b", "WARNING: w", "Korvex: c", "Korvex: d", "|"},
         {{"Korvex: b", "WARNING: w", "Korvex: d"}},
         1},
        {"results are never replaced",
         {"Korvex: a", "ERROR: e", "SUCCESS: s", "|", "Korvex: b", "|"},
         {{"Korvex: a", "ERROR: e", "SUCCESS: s"}, {"Korvex: b"}},
         2},
        {"the last message arrives",
         {"Korvex: a", "|", "Korvex: b", "Korvex: c", "|"},
         {{"Korvex: a"}, {"Korvex: c"}},
         2},
        {"nothing waiting", {"|"}, {{}}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        int wakes = 0;
        kvStatusQueue queue;
        std::vector<Strings> taken;
        for (const std::string& step : row.steps) {
            if (step == "|")
                taken.push_back(queue.Take());
            else if (queue.Push(step, KindOf(step)))
                ++wakes;
        }
        EXPECT_EQ(taken, row.taken);
        EXPECT_EQ(wakes, row.wakes);
    }
}

TEST(StatusQueue, SlowReaderGetsEveryResultInOrderAndTheLastMessage) {
    std::mutex mutex;
    std::condition_variable woken;
    int wakes = 0;
    kvStatusQueue queue;
    auto push = [&](const std::string& text) {
        if (!queue.Push(text, KindOf(text))) return;
        std::lock_guard<std::mutex> lock(mutex);
        ++wakes;
        woken.notify_one();
    };
    const int messages = 20000;
    std::thread search([&] {
        for (int i = 1; i <= messages; ++i)
            push(i % 1000 == 0 ? "WARNING: " + std::to_string(i) : "Korvex: " + std::to_string(i));
        push("SUCCESS: done");
    });
    Strings shown;
    int taken = 0;
    while (shown.empty() || shown.back() != "SUCCESS: done") {
        {
            std::unique_lock<std::mutex> lock(mutex);
            woken.wait(lock, [&] { return wakes > taken; });
            taken = wakes;
        }
        for (const std::string& text : queue.Take())
            shown.push_back(text);
        std::this_thread::sleep_for(std::chrono::microseconds(200)); // a busy GUI thread
    }
    search.join();
    EXPECT_TRUE(queue.Take().empty());
    // The warnings all arrive, in order; the progress numbers only ever grow.
    Strings warnings;
    int last = 0;
    for (const std::string& text : shown) {
        if (text.rfind("WARNING: ", 0) == 0) warnings.push_back(text);
        if (text.rfind("SUCCESS", 0) == 0) continue;
        int number = std::stoi(text.substr(text.find(' ') + 1));
        EXPECT_GT(number, last) << text;
        last = number;
    }
    ASSERT_EQ(warnings.size(), 20u);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(warnings[i], "WARNING: " + std::to_string((i + 1) * 1000));
    EXPECT_LT(shown.size(), static_cast<std::size_t>(messages)); // some progress was skipped
}

} // namespace
