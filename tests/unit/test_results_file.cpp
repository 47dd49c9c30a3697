// Results file: exact bytes written, round trips, hand-made and damaged files,
// and writes that fail part-way.
#include "article.h"
#include "atomic_file.h"
#include "results_file.h"
#include "transport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

using namespace std::string_literals;

namespace {

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

int CountEntries(const std::string& directory) {
    int n = 0;
    for (auto& entry : std::filesystem::directory_iterator(directory)) {
        (void)entry;
        ++n;
    }
    return n;
}

// A record whose ten fields are tag-prefixed names ("from A", ...), with the given body.
std::unique_ptr<kvArticle> MakeArticle(const std::string& tag, const char* body) {
    auto a = std::make_unique<kvArticle>();
    static const char* names[] = {"from",         "newsgroups", "subject", "date",   "id",
                                  "organization", "keywords",   "summary", "sender", "replyto"};
    for (int f = 0; f < KV_ARTICLE_FIELD_COUNT; ++f)
        CopyField(ArticleField(*a, f), KV_FIELD_SIZE, (names[f] + (" " + tag)).c_str());
    if (body != nullptr) {
        a->body.reset(new char[std::strlen(body) + 1]);
        std::strcpy(a->body.get(), body);
    }
    return a;
}

void Fill(kvResultSet& set, std::vector<std::unique_ptr<kvArticle>> articles) {
    set.count = static_cast<int>(articles.size());
    for (std::size_t i = 0; i < articles.size(); ++i)
        set.slots[i] = std::move(articles[i]);
    RelinkArticles(set, set.count);
}

kvSearchSummary SmallSummary() {
    kvSearchSummary s;
    CopyField(s.pattern, "pat");
    CopyField(s.header, "Subject");
    CopyField(s.server, "news.example");
    CopyField(s.newsgroup, "alt.test");
    CopyField(s.searchDate, "Tue Dec  8 22:09:47 2026");
    CopyField(s.groupCount, "1500");
    CopyField(s.foundCount, "2");
    return s;
}

// The ten field lines of MakeArticle(tag) as a file holds them.
std::string FieldLines(const std::string& tag, const char* end = "\r\n") {
    std::string out;
    for (const char* name : {"from", "newsgroups", "subject", "date", "id", "organization",
                             "keywords", "summary", "sender", "replyto"})
        out += name + (" " + tag) + end;
    return out;
}

const std::string kHead = ".kvx file -- do not edit!\r\npat\r\nSubject\r\nnews.example\r\n"
                          "alt.test\r\nTue Dec  8 22:09:47 2026\r\n1500\r\n2\r\n";

// A body as a search leaves it: `length` bytes of text cut in mid-line, then
// the long-article warning with its CRs removed.
std::string EngineBody(std::size_t length) {
    std::string text;
    for (int i = 0; text.size() < length; ++i)
        text += "line " + std::to_string(i) + ": some words of an article body\n";
    text.resize(length);
    std::string warning(KV_LONG_ARTICLE_WARNING);
    warning.resize(warning.size() - 3); // the terminating ".\r\n" is removed
    std::string stripped(warning.size(), '\0');
    stripped.resize(StripCarriageReturns(&stripped[0], warning.data(), warning.size()));
    return text + stripped;
}

int OpenDescriptors() {
    return CountEntries("/proc/self/fd");
}

class ResultsFile : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/korvex-results-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string Path(const char* name) const { return dir + "/" + name; }

    std::string dir;
};

// What a loaded set must hold: subjects in order and bodies (nullptr: no body).
struct Expected {
    std::vector<std::string> subjects;
    std::vector<const char*> bodies;
};

void ExpectSet(const kvResultSet& set, int n, const Expected& want) {
    ASSERT_EQ(n, static_cast<int>(want.subjects.size()));
    for (int i = 0; i < n; ++i) {
        ASSERT_TRUE(set.slots[i]) << i;
        EXPECT_EQ(set.slots[i]->subject, want.subjects[i]) << i;
        if (want.bodies[i] == nullptr)
            EXPECT_EQ(set.slots[i]->body, nullptr) << i;
        else if (set.slots[i]->body == nullptr)
            ADD_FAILURE() << "article " << i << " has no body";
        else
            // Compared as a whole: a long body would flood the output.
            EXPECT_TRUE(std::string(set.slots[i]->body.get()) == want.bodies[i])
                << "article " << i << " body differs; " << std::strlen(set.slots[i]->body.get())
                << " bytes, expected " << std::strlen(want.bodies[i]);
        EXPECT_EQ(set.slots[i]->next, i + 1 < n ? set.slots[i + 1].get() : nullptr) << i;
    }
    if (n < KV_MAX_ARTICLES) {
        EXPECT_EQ(set.slots[n], nullptr); // nothing half-read is kept
    }
    EXPECT_EQ(set.count, 0); // the caller sets the count
}

TEST_F(ResultsFile, WritesTheExactBytes) {
    kvResultSet set;
    std::vector<std::unique_ptr<kvArticle>> articles;
    articles.push_back(MakeArticle("A", "Hi\nthere\n"));
    articles.push_back(MakeArticle("B", nullptr));
    Fill(set, std::move(articles));
    std::string path = Path("small.kvx");
    ASSERT_EQ(SaveResultsFile(path.c_str(), SmallSummary(), set), 1);

    std::string expected = kHead + FieldLines("A") + "\r\nHi\r\nthere\r\n\r\n\0\r\n\r\n"s +
                           FieldLines("B") + "\r\n\r\n\0\r\n"s;
    EXPECT_EQ(ReadBytes(path), expected);
}

TEST_F(ResultsFile, NewFileGetsTheUmaskMode) {
    kvResultSet set;
    std::vector<std::unique_ptr<kvArticle>> articles;
    articles.push_back(MakeArticle("A", "x"));
    Fill(set, std::move(articles));
    std::string path = Path("mode.kvx");
    mode_t old = umask(027);
    int saved = SaveResultsFile(path.c_str(), SmallSummary(), set);
    umask(old);
    ASSERT_EQ(saved, 1);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(ResultsFile, RoundTripKeepsEveryFieldAndBody) {
    kvSearchSummary summary;
    CopyField(summary.pattern, std::string(255, 'p').c_str());
    CopyField(summary.header, std::string(23, 'h').c_str());
    CopyField(summary.server, std::string(511, 's').c_str());
    CopyField(summary.newsgroup, std::string(511, 'n').c_str());
    CopyField(summary.searchDate, std::string(31, 'd').c_str());
    CopyField(summary.groupCount, "123456789012345");
    CopyField(summary.foundCount, "1234567");

    const std::string engineBody = EngineBody(40000);
    struct Case {
        const char* name;
        const char* body;
        const char* loadedBody; // nullptr: comes back without a body
    } cases[] = {
        {"ends with a line end", "first\n\nthird\n", "first\n\nthird\n"},
        {"no final line end", "no final line end", "no final line end"},
        {"no body", nullptr, nullptr},
        {"empty body", "", nullptr},
        {"only line ends", "\n\n", "\n\n"},
        {"leading blank lines, tabs, 8-bit", "\n\n\tindented \xe9t\xe9 \n",
         "\n\n\tindented \xe9t\xe9 \n"},
        {"search-sized body", engineBody.c_str(), engineBody.c_str()},
    };
    kvResultSet set;
    std::vector<std::unique_ptr<kvArticle>> articles;
    for (const Case& c : cases)
        articles.push_back(MakeArticle(c.name, c.body));
    // Full-width fields, and fields that hold the missing marker.
    for (int f = 0; f < KV_ARTICLE_FIELD_COUNT; ++f) {
        CopyField(ArticleField(*articles[0], f), KV_FIELD_SIZE,
                  std::string(511, static_cast<char>('a' + f)).c_str());
        if (f >= 6) CopyField(ArticleField(*articles[1], f), KV_FIELD_SIZE, KV_NONE);
    }
    CopyField(articles[2]->from, KV_FIELD_SIZE, " padded \t value ");
    Fill(set, std::move(articles));

    std::string path = Path("round.kvx");
    ASSERT_EQ(SaveResultsFile(path.c_str(), summary, set), 1);
    kvSearchSummary loaded;
    CopyField(loaded.sourceFile, "kept.kvx");
    loaded.loadedFromFile = 7;
    kvResultSet back;
    int n = LoadResultsFile(path.c_str(), loaded, back);
    ASSERT_EQ(n, static_cast<int>(std::size(cases)));

    EXPECT_STREQ(loaded.pattern, summary.pattern);
    EXPECT_STREQ(loaded.header, summary.header);
    EXPECT_STREQ(loaded.server, summary.server);
    EXPECT_STREQ(loaded.newsgroup, summary.newsgroup);
    EXPECT_STREQ(loaded.searchDate, summary.searchDate);
    EXPECT_STREQ(loaded.groupCount, summary.groupCount);
    EXPECT_STREQ(loaded.foundCount, summary.foundCount);
    EXPECT_STREQ(loaded.sourceFile, "kept.kvx");
    EXPECT_EQ(loaded.loadedFromFile, 7);

    Expected want;
    for (int i = 0; i < n; ++i) {
        SCOPED_TRACE(cases[i].name);
        for (int f = 0; f < KV_ARTICLE_FIELD_COUNT; ++f)
            EXPECT_STREQ(ArticleField(*back.slots[i], f), ArticleField(*set.slots[i], f)) << f;
        want.subjects.push_back(set.slots[i]->subject);
        want.bodies.push_back(cases[i].loadedBody);
    }
    ExpectSet(back, n, want);
    EXPECT_STREQ(back.slots[1]->keywords, "<none>");
}

// Hand-made and damaged files, CR LF or bare LF.
TEST_F(ResultsFile, ReadsHandMadeFiles) {
    const std::string lf = ".kvx file -- do not edit!\npat\nSubject\nnews.example\nalt.test\n"
                           "Tue Dec  8 22:09:47 2026\n1500\n2\n";
    // A body whose CR LF at file offset 65535 straddles the reader's 64 KB reads.
    const std::string before = kHead + FieldLines("A") + "\r\n";
    std::string straddling, straddlingFile;
    while (before.size() + straddlingFile.size() + 100 <= 65535) {
        straddling += std::string(98, 'x') + "\n";
        straddlingFile += std::string(98, 'x') + "\r\n";
    }
    std::size_t rest = 65535 - before.size() - straddlingFile.size();
    straddling += std::string(rest, 'z') + "\n";
    straddlingFile += std::string(rest, 'z') + "\r\n";
    struct Case {
        const char* name;
        std::string file;
        int result;
        Expected want;
    } cases[] = {
        {"CR and LF in different reads",
         before + straddlingFile + "\r\n\0\r\n"s,
         1,
         {{"subject A"}, {straddling.c_str()}}},
        {"bare LF line ends",
         lf + FieldLines("A", "\n") + "\nHi\n\nthere\n\n\0\n\n"s + FieldLines("B", "\n") +
             "\nlast\n\0\n"s,
         2,
         {{"subject A", "subject B"}, {"Hi\n\nthere\n", "last"}}},
        {"mixed line ends",
         kHead + FieldLines("A", "\n") + "\r\nHi\nthere\r\n\r\n\0\n"s,
         1,
         {{"subject A"}, {"Hi\nthere\n"}}},
        {"first line only .kvx",
         ".kvx\r\n" + kHead.substr(kHead.find("pat")) + FieldLines("A") + "\r\nx\r\n\0\r\n"s,
         1,
         {{"subject A"}, {"x"}}},
        {"ends inside the second article's header lines",
         kHead + FieldLines("A") + "\r\nx\r\n\0\r\n\r\nfrom B\r\nnewsgroups B\r\n"s,
         1,
         {{"subject A"}, {"x"}}},
        {"trailing empty line after the last article",
         kHead + FieldLines("A") + "\r\nx\r\n\0\r\n\r\n"s,
         1,
         {{"subject A"}, {"x"}}},
        {"ends right after the header lines",
         kHead + FieldLines("A"),
         1,
         {{"subject A"}, {nullptr}}},
        {"ends inside a body, mid-line",
         kHead + FieldLines("A") + "\r\nline1\r\nline2",
         1,
         {{"subject A"}, {"line1\nline2"}}},
        {"ends inside a body, after a line end",
         kHead + FieldLines("A") + "\r\nline1\r\n",
         1,
         {{"subject A"}, {"line1\n"}}},
        {"no article at all", kHead, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = Path("hand.kvx");
        WriteBytes(path, c.file);
        kvSearchSummary summary;
        kvResultSet set;
        int n = LoadResultsFile(path.c_str(), summary, set);
        ASSERT_EQ(n, c.result);
        ExpectSet(set, n, c.want);
        EXPECT_STREQ(summary.server, "news.example");
        EXPECT_STREQ(summary.foundCount, "2");
    }
}

TEST_F(ResultsFile, RefusesFilesThatAreNotResultsFiles) {
    struct Case {
        const char* name;
        std::string file;
    } cases[] = {
        {"empty file", ""},
        {"kvx without its dot", "kvx file\r\n" + kHead.substr(kHead.find("pat"))},
        {"three characters", ".kv"},
        {"leading blank", " .kvx file -- do not edit!\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = Path("not.kvx");
        WriteBytes(path, c.file);
        kvSearchSummary summary;
        CopyField(summary.pattern, "untouched");
        kvResultSet set;
        EXPECT_EQ(LoadResultsFile(path.c_str(), summary, set), -1);
        EXPECT_STREQ(summary.pattern, "untouched");
        EXPECT_EQ(set.slots[0], nullptr);
    }
    kvSearchSummary summary;
    kvResultSet set;
    EXPECT_EQ(LoadResultsFile(Path("missing.kvx").c_str(), summary, set), -1);
    EXPECT_EQ(LoadResultsFile(dir.c_str(), summary, set), -1); // a directory cannot be read
}

TEST_F(ResultsFile, FileWithOnlyTheMarkerHoldsNoArticle) {
    std::string path = Path("marker.kvx");
    WriteBytes(path, ".kvx");
    kvSearchSummary summary;
    kvResultSet set;
    EXPECT_EQ(LoadResultsFile(path.c_str(), summary, set), 0);
    EXPECT_EQ(set.slots[0], nullptr);
    EXPECT_STREQ(summary.pattern, "<none>");
    EXPECT_STREQ(summary.foundCount, "<none>");
}

TEST_F(ResultsFile, LoadsAtMost1024Articles) {
    std::string file = kHead;
    for (int i = 0; i < 1030; ++i) {
        if (i > 0) file += "\r\n";
        file += FieldLines(std::to_string(i)) + "\r\nbody " + std::to_string(i) + "\r\n\r\n\0\r\n"s;
    }
    std::string path = Path("many.kvx");
    WriteBytes(path, file);
    kvSearchSummary summary;
    kvResultSet set;
    ASSERT_EQ(LoadResultsFile(path.c_str(), summary, set), 1024);
    EXPECT_STREQ(set.slots[1023]->subject, "subject 1023");
    EXPECT_STREQ(set.slots[1023]->body.get(), "body 1023\n");
    EXPECT_EQ(set.slots[1023]->next, nullptr);
    EXPECT_EQ(set.slots[1022]->next, set.slots[1023].get());
}

// A body past the work area keeps whole lines only; the next article is read normally.
TEST_F(ResultsFile, CutsAnOverlongBodyAtALineBoundary) {
    std::string line = std::string(99, 'x') + "\r\n"; // 100 bytes once read back
    std::string lines;
    for (int i = 0; i < 700; ++i)
        lines += line;
    // The length passes 65023 during line 651 (65100 bytes): it is the last one
    // kept, and the 0x00 line takes off the line end collected last.
    std::string kept;
    for (int i = 0; i < 651; ++i)
        kept += std::string(99, 'x') + "\n";
    kept.pop_back();
    const std::string huge(70000, 'y');
    struct Case {
        const char* name;
        std::string body;
        std::string loaded;
    } cases[] = {
        {"many short lines", lines, kept},
        {"one line longer than the work area", "a\r\n" + huge + "\r\nb\r\n", "a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = Path("long.kvx");
        WriteBytes(path, kHead + FieldLines("A") + "\r\n" + c.body + "\r\n\0\r\n\r\n"s +
                             FieldLines("B") + "\r\nnext\r\n\0\r\n"s);
        kvSearchSummary summary;
        kvResultSet set;
        int n = LoadResultsFile(path.c_str(), summary, set);
        ExpectSet(set, n, {{"subject A", "subject B"}, {c.loaded.c_str(), "next"}});
    }
}

TEST_F(ResultsFile, LoaderClosesItsFileOnEveryReturn) {
    WriteBytes(Path("good.kvx"), kHead + FieldLines("A") + "\r\nx\r\n\0\r\n"s);
    WriteBytes(Path("bad.kvx"), "kvx file\r\n");
    WriteBytes(Path("empty.kvx"), "");
    int before = OpenDescriptors();
    for (const char* name : {"good.kvx", "bad.kvx", "empty.kvx", "missing.kvx"}) {
        kvSearchSummary summary;
        kvResultSet set;
        LoadResultsFile(Path(name).c_str(), summary, set);
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

// Runs a save with the process's file-size limit lowered, as a full disk would
// stop it. Nothing is printed while the limit holds.
template <typename Save> int SaveUnderSizeLimit(rlim_t limit, Save save) {
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit low = old;
    low.rlim_cur = limit;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &low);
    int result = save();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    return result;
}

TEST_F(ResultsFile, FailedWriteLeavesTheOldFileAlone) {
    kvResultSet set;
    std::vector<std::unique_ptr<kvArticle>> articles;
    const std::string body = EngineBody(40000);
    for (int i = 0; i < 4; ++i)
        articles.push_back(MakeArticle(std::to_string(i), body.c_str()));
    Fill(set, std::move(articles));
    std::string path = Path("old.kvx");
    WriteBytes(path, "previous contents");

    int result = SaveUnderSizeLimit(
        8192, [&] { return SaveResultsFile(path.c_str(), SmallSummary(), set); });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(ReadBytes(path), "previous contents");
    EXPECT_EQ(CountEntries(dir), 1); // no temporary file left behind

    std::string nowhere = dir + "/no such directory/x.kvx";
    EXPECT_EQ(SaveResultsFile(nowhere.c_str(), SmallSummary(), set), -1);
    std::filesystem::create_directory(Path("taken"));
    EXPECT_EQ(SaveResultsFile(Path("taken").c_str(), SmallSummary(), set), -1);
    EXPECT_EQ(CountEntries(dir), 2);
}

TEST_F(ResultsFile, AtomicFileWithoutCommitChangesNothing) {
    std::string path = Path("target.txt");
    WriteBytes(path, "before");
    {
        kvAtomicFile file(path.c_str());
        ASSERT_TRUE(file.IsOpen());
        EXPECT_TRUE(file.Write("after"));
        EXPECT_EQ(CountEntries(dir), 2);
    }
    EXPECT_EQ(ReadBytes(path), "before");
    EXPECT_EQ(CountEntries(dir), 1);

    kvAtomicFile file(path.c_str());
    EXPECT_TRUE(file.Write("after"));
    EXPECT_TRUE(file.Commit());
    EXPECT_FALSE(file.Commit()); // a second commit has nothing to put in place
    EXPECT_EQ(ReadBytes(path), "after");
    EXPECT_EQ(CountEntries(dir), 1);
}

} // namespace
