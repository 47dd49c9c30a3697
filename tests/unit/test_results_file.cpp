// Results file: exact bytes written, round trips, hand-made and damaged files,
// and saves that fail part-way.
#include "atomic_file.h"
#include "results_file.h"
#include "temp_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <utility>
#include <vector>

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

using korvex_test::ReadBytes;
using korvex_test::WriteBytes;

long CountEntries(const std::string& directory) {
    return std::distance(fs::directory_iterator(directory), fs::directory_iterator());
}

std::string Lf(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

const char* const kFieldNames[] = {"from",         "newsgroups", "subject", "date",   "id",
                                   "organization", "keywords",   "summary", "sender", "replyto"};

// The ten field lines of an article whose fields are "<name> <tag>".
std::string FieldLines(const std::string& tag) {
    std::string out;
    for (const char* name : kFieldNames)
        out += name + (" " + tag) + "\r\n";
    return out;
}

// Appends articles tagged "A", "B", ... with these bodies (nullptr: none),
// each changed by adjust (when given) before it enters the set.
void Fill(kvResultSet& set, const std::vector<const char*>& bodies,
          const std::function<void(int, kvArticle&)>& adjust = nullptr) {
    for (int i = 0; i < static_cast<int>(bodies.size()); ++i) {
        auto article = std::make_unique<kvArticle>();
        for (int f = 0; f < KV_ARTICLE_FIELD_COUNT; ++f)
            CopyField(ArticleField(*article, f), KV_FIELD_SIZE,
                      (kFieldNames[f] + " "s + char('A' + i)).c_str());
        if (bodies[i] != nullptr) {
            article->body.reset(new char[std::strlen(bodies[i]) + 1]);
            std::strcpy(article->body.get(), bodies[i]);
        }
        if (adjust) adjust(i, *article);
        set.Append(std::move(article));
    }
}

// The seven summary fields a results file stores, in file order, with their sizes.
std::vector<std::pair<char*, std::size_t>> StoredFields(kvSearchSummary& s) {
    return {{s.pattern, sizeof s.pattern},       {s.header, sizeof s.header},
            {s.server, sizeof s.server},         {s.newsgroup, sizeof s.newsgroup},
            {s.searchDate, sizeof s.searchDate}, {s.groupCount, sizeof s.groupCount},
            {s.foundCount, sizeof s.foundCount}};
}

kvSearchSummary SmallSummary() {
    kvSearchSummary s;
    const char* values[] = {
        "pat", "Subject", "news.example", "alt.test", "Tue Dec  8 22:09:47 2026", "1500", "2"};
    auto fields = StoredFields(s);
    for (std::size_t i = 0; i < fields.size(); ++i)
        CopyField(fields[i].first, fields[i].second, values[i]);
    return s;
}

const std::string kHead = ".kvx file -- do not edit!\r\npat\r\nSubject\r\nnews.example\r\n"
                          "alt.test\r\nTue Dec  8 22:09:47 2026\r\n1500\r\n2\r\n";

// A body as a search leaves a long article: text cut in mid-line, then the warning.
std::string CutBody() {
    std::string text;
    for (int i = 0; text.size() < 40000; ++i)
        text += "line " + std::to_string(i) + ": some words of an article body\n";
    text.resize(40000);
    return text + "\n\n***** Warning: Long article (>32K bytes), truncated! *****\n\n";
}

std::string BodyText(const kvArticle& a) {
    return a.body ? "body: " + std::string(a.body.get()) : "no body";
}

// got holds n articles equal to want's, field by field and body by body, and
// chained in slot order; nothing after them.
void ExpectSame(const kvResultSet& got, int n, const kvResultSet& want) {
    ASSERT_EQ(n, want.Size()); // want holds fewer than 1024
    ASSERT_EQ(got.Size(), n);
    for (int i = 0; i < n; ++i) {
        SCOPED_TRACE("article " + std::to_string(i));
        for (int f = 0; f < KV_ARTICLE_FIELD_COUNT; ++f)
            EXPECT_STREQ(ArticleField(got.At(i), f), ArticleField(want.At(i), f)) << f;
        std::string body = BodyText(got.At(i)), wanted = BodyText(want.At(i));
        // Not printed: a long body would flood the output.
        EXPECT_TRUE(body == wanted) << body.size() << " bytes, expected " << wanted.size();
        EXPECT_EQ(got.At(i).next, i + 1 < n ? &got.At(i + 1) : nullptr);
    }
}

class ResultsFile : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(dir.empty()); }
    std::string Path(const char* name) const { return temp / name; }
    int Load(const std::string& bytes, kvSearchSummary& summary, kvResultSet& set) const {
        WriteBytes(Path("in.kvx"), bytes);
        return LoadResultsFile(Path("in.kvx").c_str(), summary, set);
    }

    korvex_test::TempDir temp{"results"};
    const std::string dir = temp.path;
};

TEST_F(ResultsFile, WritesTheExactBytesWithTheUmaskMode) {
    kvResultSet set;
    Fill(set, {"Hi\nthere\n", nullptr});
    mode_t old = umask(027);
    bool saved = SaveResultsFile(Path("small.kvx").c_str(), SmallSummary(), set);
    umask(old);
    ASSERT_TRUE(saved);
    EXPECT_EQ(ReadBytes(Path("small.kvx")), kHead + FieldLines("A") +
                                                "\r\nHi\r\nthere\r\n\r\n\0\r\n\r\n"s +
                                                FieldLines("B") + "\r\n\r\n\0\r\n"s);
    struct stat st {};
    ASSERT_EQ(stat(Path("small.kvx").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(ResultsFile, RoundTripKeepsEveryFieldAndBody) {
    kvSearchSummary summary, loaded;
    auto fields = StoredFields(summary);
    for (std::size_t i = 0; i < fields.size(); ++i)
        std::memset(fields[i].first, 'a' + static_cast<int>(i), fields[i].second - 1);
    const std::string cut = CutBody();
    kvResultSet set, back, want;
    std::vector<const char*> bodies = {
        "first\n\nthird\n", "no final line end", nullptr, "", "\n\n", "\n\n\tindented \xe9t\xe9 \n",
        cut.c_str()};
    auto adjust = [](int i, kvArticle& a) {
        for (int f = 0; f < KV_ARTICLE_FIELD_COUNT; ++f) {
            if (i == 0) std::memset(ArticleField(a, f), 'a' + f, KV_FIELD_SIZE - 1);
            if (i == 1 && f >= 6) CopyField(ArticleField(a, f), KV_FIELD_SIZE, KV_NONE);
        }
        if (i == 2) CopyField(a.from, " padded \t value ");
    };
    Fill(set, bodies, adjust);
    ASSERT_TRUE(SaveResultsFile(Path("round.kvx").c_str(), summary, set));

    CopyField(loaded.sourceFile, "kept.kvx");
    loaded.loadedFromFile = true;
    int n = LoadResultsFile(Path("round.kvx").c_str(), loaded, back);
    auto loadedFields = StoredFields(loaded);
    for (std::size_t i = 0; i < fields.size(); ++i)
        EXPECT_STREQ(loadedFields[i].first, fields[i].first) << i;
    EXPECT_STREQ(loaded.sourceFile, "kept.kvx");
    EXPECT_TRUE(loaded.loadedFromFile);
    bodies[3] = nullptr; // an empty body comes back as none
    Fill(want, bodies, adjust);
    ExpectSame(back, n, want);
}

TEST_F(ResultsFile, ReadsHandMadeAndCutShortFiles) {
    const std::string a = kHead + FieldLines("A");
    std::string many; // 650 lines, 65000 bytes once read back
    for (int i = 0; i < 650; ++i)
        many += std::string(99, 'x') + "\r\n";
    // Body lines whose last CR ends the reader's first 64 KB read; its LF begins the next.
    const std::size_t room = 65535 - 2 - a.size();
    const std::string lines =
        many.substr(0, room / 101 * 101) + std::string(room % 101, 'z') + "\r\n";
    const std::string straddled = Lf(lines);
    // A body keeps whole lines until its collected length passes 65023; 22 or
    // 23 more bytes and a LF bring it to 65023 or 65024. The 0x00 line takes
    // off the line end collected last.
    const std::string rest = "\r\nkept\r\ngone\r\n";
    const std::string at = Lf(many) + std::string(22, 'z') + "\nkept",
                      past = Lf(many) + std::string(23, 'z');
    const std::string next = "\r\n\0\r\n\r\n"s + FieldLines("B") + "\r\nnext\r\n\0\r\n"s;
    struct Case {
        const char* name;
        std::string file;
        std::vector<const char*> bodies;
        const char* foundCount = "2";
    } cases[] = {
        {"CR and LF in different reads", a + "\r\n" + lines + "\r\n\0\r\n"s, {straddled.c_str()}},
        {"bare LF line ends", Lf(a + "\r\nHi\r\n\r\nthere\r\n" + next), {"Hi\n\nthere\n", "next"}},
        {"at the limit",
         a + "\r\n" + many + std::string(22, 'z') + rest + next,
         {at.c_str(), "next"}},
        {"past the limit",
         a + "\r\n" + many + std::string(23, 'z') + rest + next,
         {past.c_str(), "next"}},
        {"long line",
         a + "\r\na\r\n" + std::string(70000, 'y') + "\r\nb\r\n" + next,
         {"a", "next"}},
        {"mixed line ends", Lf(a) + "\r\nHi\nthere\r\n\r\n\0\n"s, {"Hi\nthere\n"}},
        {".kvx alone", ".kvx" + a.substr(a.find('\r')) + "\r\nx\r\n\0\r\n"s, {"x"}},
        {"ends in header lines", a + "\r\nx\r\n\0\r\n\r\nfrom B\r\nnewsgroups B\r\n"s, {"x"}},
        {"trailing empty line", a + "\r\nx\r\n\0\r\n\r\n"s, {"x"}},
        {"ends after the header lines", a, {nullptr}},
        {"ends inside a body line", a + "\r\nline1\r\nline2", {"line1\nline2"}},
        {"ends after a body line", a + "\r\nline1\r\n", {"line1\n"}},
        {"no article", kHead, {}},
        {"only the marker", ".kvx", {}, "<none>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        kvSearchSummary summary;
        kvResultSet set, want;
        int n = Load(c.file, summary, set);
        Fill(want, c.bodies);
        ExpectSame(set, n, want);
        EXPECT_STREQ(summary.foundCount, c.foundCount);
    }
}

TEST_F(ResultsFile, RefusesWhatIsNotAResultsFileAndClosesIt) {
    long descriptors = CountEntries("/proc/self/fd");
    for (const char* file : {"", "kvx file\r\n", ".kv", " .kvx file -- do not edit!\r\n"}) {
        SCOPED_TRACE(file);
        kvSearchSummary summary;
        CopyField(summary.pattern, "untouched");
        kvResultSet set;
        EXPECT_EQ(Load(file, summary, set), -1);
        EXPECT_STREQ(summary.pattern, "untouched");
        EXPECT_EQ(set.First(), nullptr);
    }
    kvSearchSummary summary;
    kvResultSet set;
    EXPECT_EQ(LoadResultsFile(Path("missing.kvx").c_str(), summary, set), -1);
    EXPECT_EQ(LoadResultsFile(dir.c_str(), summary, set), -1); // a directory cannot be read
    EXPECT_EQ(CountEntries("/proc/self/fd"), descriptors);
}

TEST_F(ResultsFile, LoadsAtMost1024Articles) {
    std::string file = kHead;
    for (int i = 0; i < 1030; ++i)
        file += (i > 0 ? "\r\n" : "") + FieldLines(std::to_string(i)) + "\r\nbody " +
                std::to_string(i) + "\r\n\r\n\0\r\n"s;
    kvSearchSummary summary;
    kvResultSet set;
    ASSERT_EQ(Load(file, summary, set), 1024);
    EXPECT_STREQ(set.At(1023).subject, "subject 1023");
    EXPECT_STREQ(set.At(1023).body.get(), "body 1023\n");
    EXPECT_EQ(set.At(1023).next, nullptr);
    EXPECT_EQ(set.At(1022).next, &set.At(1023));
}

TEST_F(ResultsFile, FailedOrUncommittedSaveLeavesTheOldFileAlone) {
    const std::string body = CutBody();
    kvResultSet set;
    Fill(set, {body.c_str(), body.c_str(), body.c_str(), body.c_str()});
    std::string path = Path("old.kvx");
    WriteBytes(path, "previous contents");
    // The file-size limit stops the save as a full disk would.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit low{8192, old.rlim_max};
    auto handler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &low);
    bool result = SaveResultsFile(path.c_str(), SmallSummary(), set);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, handler);
    EXPECT_FALSE(result);
    EXPECT_EQ(ReadBytes(path), "previous contents");
    EXPECT_EQ(CountEntries(dir), 1); // no temporary file left behind
    {
        kvAtomicFile file(path.c_str()); // never committed
        ASSERT_TRUE(file.Write("after"));
    }
    EXPECT_EQ(ReadBytes(path), "previous contents");
    EXPECT_EQ(CountEntries(dir), 1);

    std::string nowhere = dir + "/no such directory/x.kvx";
    EXPECT_FALSE(SaveResultsFile(nowhere.c_str(), SmallSummary(), set));
    fs::create_directory(Path("taken"));
    EXPECT_FALSE(SaveResultsFile(Path("taken").c_str(), SmallSummary(), set));
    EXPECT_EQ(CountEntries(dir), 2);
}

} // namespace
