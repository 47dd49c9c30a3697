// A user's whole session against the local news server: search through the
// dialog, display, read, a second window, delete, save, close, load back, and
// the three text exports, checked against what the server holds.
#include "article_generator.h"
#include "gui_harness.h"
#include "results_list.h"

#include <wx/checkbox.h>

#include <filesystem>
#include <map>
#include <set>

namespace korvex_test {
namespace {

class EndToEndTest : public GuiTest {
  protected:
    // The generated articles of the group by Message-ID.
    std::map<std::string, GeneratedArticle> ByMessageId(const char* group) {
        std::map<std::string, GeneratedArticle> articles;
        for (GeneratedArticle& a : GenerateGroup(group))
            articles[a.MessageId()] = a;
        return articles;
    }
    std::vector<std::string> HeldMessageIds() {
        std::vector<std::string> ids;
        for (int i = 0; i < M().results->Size(); ++i)
            ids.push_back(M().results->At(i).messageId);
        return ids;
    }
};

TEST_F(EndToEndTest, SearchReadDeleteSaveCloseLoadAndExport) {
    std::string address;
    KORVEX_LOCAL_SERVER_OR_SKIP(address);
    auto server = ByMessageId(kSmallGroup);
    // The shipped description file (at most 100 articles) and a user's window sizes.
    std::filesystem::copy_file(KORVEX_DESCRIPTION_FILE, Path("korvex.dat"));
    WriteFile("korvex.ini", "MAIN_W=520\nMAIN_H=420\n");
    Start();
    Tick(Dialog().scanCheck, false);
    SearchFor(address, kSmallGroup, "kernel panic");
    WaitForEnd();
    ASSERT_EQ(M().ui.state, STATE_READY) << StatusLine();
    const int found = M().results->Size();
    ASSERT_GE(found, 4);

    ChooseMenu(CMD_DISPLAY_RESULTS);
    std::vector<std::string> slotSubjects;
    for (int i = 0; i < found; ++i)
        slotSubjects.push_back(M().results->At(i).subject);
    EXPECT_EQ(ListEntries(), slotSubjects);
    EXPECT_EQ(ChainSubjects(), slotSubjects);
    // The selected first entry is in view once the list is laid out.
    ASSERT_TRUE(PumpUntil([this] { return ResultsList()->GetTopItem() >= 0; }, 5000));
    for (int i = 0; i < 10; ++i)
        Pump();
    EXPECT_EQ(ResultsList()->GetTopItem(), 0);
    // Every window shows the article as the server has it: the body unchanged.
    auto showsServerArticle = [&](int slot, int entry) {
        const kvArticle& held = M().results->At(entry);
        const GeneratedArticle& original = server.at(held.messageId);
        std::string text = WindowText(slot);
        EXPECT_EQ(WindowTitle(slot), *original.Header("Subject"));
        EXPECT_NE(text.find("\nSubject: " + *original.Header("Subject") + "\n"), std::string::npos);
        EXPECT_EQ(text.substr(text.size() - original.body.size()), original.body);
    };
    showsServerArticle(0, 0);
    Select(ResultsList(), 2);
    showsServerArticle(0, 2);
    ChooseMenu(CMD_NEW_ARTICLE_WINDOW);
    ASSERT_EQ(Articles().Current(), 1);
    showsServerArticle(1, 2);
    Select(ResultsList(), 1);
    showsServerArticle(1, 1);
    showsServerArticle(0, 2); // the first window keeps its article

    std::vector<std::string> ids = HeldMessageIds();
    ChooseMenu(CMD_DELETE_ARTICLE); // entry 1
    ids.erase(ids.begin() + 1);
    EXPECT_EQ(HeldMessageIds(), ids);
    EXPECT_EQ(StatusLine(), "Korvex: " + std::to_string(found - 1) + " articles in current search");
    showsServerArticle(1, 0);

    Script().chosenFiles = {Path("session.kvx")};
    ChooseMenu(CMD_SAVE_RESULTS);
    ASSERT_EQ(M().ui.saved, 1);
    std::vector<std::string> shown = ListEntries();
    ChooseMenu(CMD_CLOSE_SEARCH);
    EXPECT_TRUE(Script().questions.empty());
    ASSERT_EQ(M().ui.state, STATE_IDLE);

    Script().chosenFiles = {Path("session.kvx")};
    ChooseMenu(CMD_LOAD_RESULTS);
    ASSERT_EQ(M().ui.state, STATE_DISPLAYED);
    EXPECT_EQ(ListEntries(), shown);
    EXPECT_EQ(HeldMessageIds(), ids);
    EXPECT_EQ(C().MainFrame()->GetTitle(), "File session.kvx: kernel panic");
    EXPECT_EQ(std::string(M().summary->server), address);
    EXPECT_STREQ(M().summary->newsgroup, kSmallGroup);
    EXPECT_EQ(M().summary->foundCount, std::to_string(found)); // as the search found them
    showsServerArticle(0, 0);
    for (int i = 0; i < M().results->Size(); ++i) {
        const kvArticle& held = M().results->At(i);
        const GeneratedArticle& original = server.at(held.messageId);
        ASSERT_TRUE(held.body) << held.messageId;
        EXPECT_EQ(std::string(held.body.get()), original.body) << held.messageId;
    }

    Select(ResultsList(), 3);
    Script().chosenFiles = {Path("report.txt"), Path("article.txt"), Path("replies.txt")};
    ChooseMenu(CMD_SAVE_ALL_ARTICLES);
    ChooseMenu(CMD_SAVE_ARTICLE);
    ChooseMenu(CMD_REPLY_LIST);
    EXPECT_TRUE(Script().notices.empty());
    std::string report = ReadFile("report.txt");
    std::size_t at = 0;
    for (int i = 0; i < M().results->Size(); ++i) { // every article, in list order
        at = report.find(std::string("Message-ID: ") + M().results->At(i).messageId, at);
        ASSERT_NE(at, std::string::npos) << i;
    }
    const GeneratedArticle& fourth = server.at(M().results->At(3).messageId);
    std::string single = ReadFile("article.txt");
    EXPECT_EQ(single.substr(0, 6 + fourth.Header("From")->size()),
              "From: " + *fourth.Header("From"));
    EXPECT_EQ(single.substr(single.size() - fourth.body.size()), fourth.body);
    // One line per author: the Reply-To address when there is one, else From.
    std::set<std::string> authors;
    for (int i = 0; i < M().results->Size(); ++i) {
        const kvArticle& a = M().results->At(i);
        authors.insert(IsMissing(a.replyTo) ? a.from : a.replyTo);
    }
    std::string replies = ReadFile("replies.txt");
    std::set<std::string> lines;
    for (std::size_t start = 0, end; (end = replies.find('\n', start)) != std::string::npos;
         start = end + 1) {
        EXPECT_TRUE(lines.insert(replies.substr(start, end - start)).second) << "repeated";
    }
    EXPECT_EQ(lines, authors);
}

} // namespace
} // namespace korvex_test
