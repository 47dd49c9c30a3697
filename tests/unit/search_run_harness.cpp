#include "search_run_harness.h"

#include <atomic>
#include <cstdlib>

namespace korvex_test {

Strings Sent(const Strings& xhdr, const Numbers& articles, bool quit) {
    // The fake server refuses CAPABILITIES unless scripted: MODE READER follows.
    Strings s = {"CAPABILITIES", "MODE READER", "GROUP alt.test"};
    for (const std::string& x : xhdr)
        s.push_back((x.find(' ') == std::string::npos ? "XHDR Subject " : "XHDR ") + x);
    for (long n : articles)
        s.push_back("ARTICLE " + std::to_string(n));
    if (quit) s.push_back("QUIT");
    return s;
}

Numbers Down(long from, long to, Numbers before) {
    for (long n = from; n >= to; --n)
        before.push_back(n);
    return before;
}

std::string Success(int n) {
    return "SUCCESS: " + std::to_string(n) + " articles received";
}

FakeReply Line(const std::string& text) {
    return FakeReply::Text(text + "\r\n");
}

Harness::Harness() {
    CopyField(request.server, server.Address().c_str());
    CopyField(request.newsgroup, "alt.test");
    CopyField(request.pattern, "match");
    request.timeoutSeconds = 3;
    context.groupArticleCount = -7;
    request.retries = 0;
    // XPAT only where the test asks for it: the scripts list the commands of a full scan.
    request.serverFilter = false;
    context.pause = [this](long long ms) {
        waits.push_back(ms);
        return !context.stop.StopRequested();
    };
    context.report = [this](const kvStatus& s) {
        std::string m = s.text;
        std::size_t at = m.find(server.Address() + "...");
        if (at != std::string::npos) m.replace(at, server.Address().size(), "*");
        messages.push_back(m);
        kvStatus copy = s;
        copy.text = nullptr;
        statuses.push_back(copy);
    };
}

int Harness::Run() {
    server.Start();
    int result = RunSearch(request, results, context);
    commands = server.Commands();
    return result;
}

Strings Harness::Shown(const std::string& prefix, bool from) const {
    Strings out;
    for (const std::string& m : messages)
        if (m.compare(0, prefix.size(), prefix) == 0 || (from && !out.empty())) out.push_back(m);
    return out;
}

Numbers Harness::Stored() const {
    Numbers numbers;
    for (int i = 0; i < results.Size(); ++i) {
        const kvArticle* a = &results.At(i);
        EXPECT_EQ(a->next, i + 1 < results.Size() ? &results.At(i + 1) : nullptr) << "slot " << i;
        numbers.push_back(std::atol(a->messageId + 1));
    }
    return numbers;
}

FakeGroup Group(long first, long last, const std::set<long>& matching, bool all) {
    FakeGroup g;
    for (long n = first; n <= last; ++n) {
        bool hit = all || matching.count(n) > 0;
        g.headers[n] = (hit ? "a match number " : "nothing number ") + std::to_string(n);
        if (hit)
            g.articles[n] =
                FakeArticleText(n, g.headers[n], "Body of " + std::to_string(n) + ".\n");
    }
    return g;
}

namespace {

// Runs the scripted search with the given window and checks everything but
// the commands; returns the commands the server received and the messages shown.
std::pair<Strings, Strings> RunScripted(const FakeGroup& group, const Script& script, int result,
                                        long count, const std::string& status, const Strings& tail,
                                        const Numbers& stored, const Ask& ask, int window) {
    std::atomic<long long> now{5000};
    Harness h;
    h.request.pipeline = window;
    h.context.clock = [&now] { return now.load(); };
    h.request.retries = ask.retries;
    h.request.serverFilter = ask.serverFilter;
    h.context.pause = [&now](long long ms) {
        now += ms;
        return true;
    };
    if (!ask.clockAt.empty()) h.server.OnCommand(ask.clockAt, [&] { now += ask.stepMs; });
    if (!ask.server.empty()) CopyField(h.request.server, ask.server.c_str());
    CopyField(h.request.timeLimit, ask.timeLimit);
    h.request.timeoutSeconds = ask.timeoutSeconds;
    h.context.maxResponseSeconds = ask.maxResponseSeconds;
    h.context.maxResponseBytes = ask.maxResponseBytes;
    CopyField(h.request.maxHeaders, ask.maxHeaders);
    CopyField(h.request.maxArticles, ask.maxArticles);
    CopyField(h.request.header, ask.header);
    h.server.SetGroup(group);
    for (const auto& s : script)
        if (s.first.empty())
            h.server.SetGreeting(s.second);
        else
            h.server.When(s.first, s.second);
    EXPECT_EQ(h.Run(), result);
    EXPECT_EQ(h.Status(), status);
    EXPECT_EQ(h.Shown(tail[0], true), tail);
    EXPECT_EQ(h.Stored(), stored);
    EXPECT_EQ(h.context.groupArticleCount, count);
    return {h.commands, h.messages};
}

} // namespace

void ExpectRun(const std::string& name, const FakeGroup& group, const Script& script, int result,
               long count, const Strings& commands, const std::string& status, const Strings& tail,
               const Numbers& stored, const Ask& ask) {
    SCOPED_TRACE(name);
    std::pair<Strings, Strings> single;
    {
        SCOPED_TRACE("one command at a time");
        single = RunScripted(group, script, result, count, status, tail, stored, ask, 1);
        EXPECT_EQ(single.first, commands);
    }
    if (!ask.clockAt.empty()) return;
    SCOPED_TRACE("default window");
    std::pair<Strings, Strings> ahead =
        RunScripted(group, script, result, count, status, tail, stored, ask, KV_DEFAULT_PIPELINE);
    EXPECT_TRUE(SentAhead(commands, ahead.first));
    EXPECT_EQ(ahead.second, single.second);
}

::testing::AssertionResult SentAhead(const Strings& oneAtATime, const Strings& ahead) {
    auto quitLast = [](const Strings& s) { return !s.empty() && s.back() == "QUIT"; };
    auto sentAhead = [](const std::string& c) {
        for (const char* verb : {"XHDR ", "HDR ", "OVER ", "XOVER ", "XPAT ", "HEAD ", "ARTICLE "})
            if (c.rfind(verb, 0) == 0) return true;
        return false;
    };
    // A run that ends with hundreds of commands outstanding closes the
    // connection with their answers unread: the kernel then resets it, and a
    // QUIT queued behind them may never reach the server. Only then may the
    // QUIT be missing.
    bool cutOff =
        quitLast(oneAtATime) && !quitLast(ahead) && !ahead.empty() && sentAhead(ahead.back());
    if (quitLast(oneAtATime) != quitLast(ahead) && !cutOff)
        return ::testing::AssertionFailure() << "QUIT sent in one run only";
    std::size_t expected = oneAtATime.size() - (cutOff ? 1 : 0);
    std::size_t next = 0;
    std::set<std::string> extra;
    for (const std::string& c : ahead) {
        if (next < expected && c == oneAtATime[next]) {
            ++next;
            continue;
        }
        if (!sentAhead(c) || !extra.insert(c).second)
            return ::testing::AssertionFailure() << "unexpected command \"" << c << "\"";
    }
    if (next < expected)
        return ::testing::AssertionFailure() << "\"" << oneAtATime[next] << "\" missing";
    return ::testing::AssertionSuccess();
}

} // namespace korvex_test
