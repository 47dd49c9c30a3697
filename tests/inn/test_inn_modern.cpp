// Searches of the modern group on the real news server: words of encoded
// subjects and names found by their decoded text, every output decoded, the
// results file keeping the raw header bytes and the decoded bodies.
#include "inn_search_fixture.h"
#include "mime_header.h"
#include "results_file.h"
#include "temp_files.h"
#include "text_export.h"

#include <algorithm>
#include <set>
#include <sstream>

namespace korvex_test {
namespace {

struct Row {
    const char* header;
    const char* pattern;
    int mode;
    int ignoreCase;
};

// ESC is the one control character the group sends; outputs show its picture.
std::string Visible(std::string text) {
    for (std::size_t at = text.find('\x1b'); at != std::string::npos; at = text.find('\x1b', at))
        text.replace(at, 1, "\xe2\x90\x9b");
    return text;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

SearchOutcome SearchModern(const Row& row) {
    return InnSearch::SearchAndCompare(
        {kModernGroup, row.header, row.pattern, row.mode, row.ignoreCase});
}

} // namespace

TEST_F(InnSearch, ModernGroupIsSearchedByDecodedWords) {
    const auto& modern = Group(kModernGroup);
    const Row rows[] = {
        {"Subject", "CAF\xc3\x89", MATCH_ANY_WORD, 1},            // "CAFÉ"
        {"Subject", "caf\xc3\xa9 cr\xc3\xa8me", MATCH_PHRASE, 1}, // "café crème"
        {"Subject", "Caf\xc3\xa9", MATCH_ANY_WORD, 0},            // exact case only
        {"Subject", "\xd0\xbf\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82", MATCH_ANY_WORD,
         1}, // привет
        {"Subject", "\xce\x9a\xce\xb1\xce\xbb\xce\xb7\xce\xbc\xce\xad\xcf\x81\xce\xb1",
         MATCH_ANY_WORD, 0}, // Καλημέρα
        {"Subject",
         "GR\xc3\x9c\xc3\x9f"
         "E K\xc3\x96LN",
         MATCH_ALL_WORDS, 1}, // GRÜßE KÖLN
        {"Subject", "kernel -caf\xc3\xa9", MATCH_ANY_WORD, 1},
        {"Subject",
         "\xe2\x82\xac"
         "5",
         MATCH_ANY_WORD, 0}, // €5
        {"Subject",
         "\xc3\x9c"
         "berfahrt",
         MATCH_ANY_WORD, 1},
        {"Subject", "abc", MATCH_ANY_WORD, 1},   // the undecodable word, as it stands
        {"Subject", "utf-8", MATCH_ANY_WORD, 1}, // encoded words' own text is gone
        {"Subject", "alert", MATCH_ANY_WORD, 1}, // a word beside control characters
        {"From", "M\xc3\xbcller", MATCH_ANY_WORD, 1},
        {"From", "\xd0\x92\xd0\x9b\xd0\x90\xd0\x94\xd0\x98\xd0\x9c\xd0\x98\xd0\xa0", MATCH_ANY_WORD,
         1}, // ВЛАДИМИР
        {"From",
         "o\xe2\x80\x99"
         "brien",
         MATCH_ANY_WORD, 1},
        {"Organization",
         "Z\xc3\xbc"
         "rich",
         MATCH_PHRASE, 1},
        {"Reply-To", "jos\xc3\xa9", MATCH_ANY_WORD, 1},
    };
    const bool findsSome[] = {true, true,  true, true, true, true, true, true, true,
                              true, false, true, true, true, true, true, true};
    for (std::size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        SearchQuery query{kModernGroup, rows[i].header, rows[i].pattern, rows[i].mode,
                          rows[i].ignoreCase};
        ASSERT_EQ(!Expect(modern, query).matches.empty(), findsSome[i])
            << "the generated articles do not fit the row \"" << rows[i].pattern << "\"";
        SearchModern(rows[i]);
    }
    // Case-insensitive "CAFÉ" finds the subjects that read "café", also sent in Latin-1.
    std::size_t cafe = 0, latin1 = 0;
    for (const GeneratedArticle& a : modern) {
        const std::string& read = *a.ReadableHeader("Subject");
        if (read.find("Caf\xc3\xa9") == std::string::npos &&
            read.find("caf\xc3\xa9") == std::string::npos)
            continue;
        ++cafe;
        latin1 += a.Header("Subject")->find("ISO-8859-1") != std::string::npos;
    }
    EXPECT_GE(cafe, 30u);
    EXPECT_GE(latin1, 5u);
}

TEST_F(InnSearch, ModernOutputsAreDecodedAndTheResultsFileKeepsRawHeaders) {
    SearchOutcome outcome = SearchModern({"Subject", "e", MATCH_ANY_WORD, 1});
    ASSERT_GT(outcome.result, 100);
    TempDir dir("modern");
    kvSearchSummary summary;
    CopyField(summary.pattern, "e");
    CopyField(summary.header, "Subject");

    // The report: every article's header lines and body as a reader reads them.
    ASSERT_TRUE(SaveArticlesReport((dir / "report.txt").c_str(), summary, *outcome.set));
    std::string report = ReadBytes(dir / "report.txt");
    // The only encoded word left is the one in a charset nobody knows.
    std::size_t words = 0, unknown = 0;
    for (std::size_t at = report.find("=?"); at != std::string::npos;
         at = report.find("=?", at + 1))
        ++words, unknown += report.compare(at, 13, "=?x-unknown?Q") == 0;
    EXPECT_EQ(words, unknown);
    EXPECT_EQ(report.find('\x1b'), std::string::npos);
    for (const kvArticle* record : outcome.Articles()) {
        const GeneratedArticle* a = ById(kModernGroup, record->messageId);
        ASSERT_NE(a, nullptr);
        std::string block = "From: " + *a->ReadableHeader("From") +
                            "\nSubject: " + Visible(*a->ReadableHeader("Subject")) + "\n";
        EXPECT_NE(report.find(block), std::string::npos) << block;
        EXPECT_NE(report.find("\n\n\n" + Visible(a->ReadableBody())), std::string::npos)
            << a->number;
    }

    // The reply list: one decoded address text per author.
    ASSERT_TRUE(WriteReplyList((dir / "replies.txt").c_str(), *outcome.set));
    std::set<std::string> readable;
    for (const kvArticle* record : outcome.Articles()) {
        const GeneratedArticle* a = ById(kModernGroup, record->messageId);
        readable.insert(*a->ReadableHeader(a->Header("Reply-To") ? "Reply-To" : "From"));
    }
    std::vector<std::string> replies = Lines(ReadBytes(dir / "replies.txt"));
    EXPECT_GE(replies.size(), 5u);
    for (const std::string& line : replies)
        EXPECT_EQ(readable.count(line), 1u) << line;
    EXPECT_TRUE(std::count(replies.begin(), replies.end(),
                           "Ren\xc3\xa9"
                           "e M\xc3\xbcller <renee@example.de>") == 1);

    // The results file: raw header bytes, decoded bodies, read back unchanged.
    ASSERT_TRUE(SaveResultsFile((dir / "modern.kvx").c_str(), summary, *outcome.set));
    std::string saved = ReadBytes(dir / "modern.kvx");
    kvSearchSummary loadedSummary;
    auto loaded = std::make_unique<kvResultSet>();
    ASSERT_EQ(LoadResultsFile((dir / "modern.kvx").c_str(), loadedSummary, *loaded),
              outcome.result);
    for (int i = 0; i < outcome.result; ++i) {
        const kvArticle& got = loaded->At(i);
        const GeneratedArticle* a = ById(kModernGroup, got.messageId);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(std::string(got.subject), *a->Header("Subject"));
        EXPECT_EQ(std::string(got.from), *a->Header("From"));
        EXPECT_NE(saved.find("\r\n" + *a->Header("Subject") + "\r\n"), std::string::npos);
        ASSERT_NE(got.body, nullptr);
        EXPECT_EQ(std::string(got.body.get()), a->ReadableBody()) << a->number;
    }
    ASSERT_TRUE(SaveResultsFile((dir / "again.kvx").c_str(), loadedSummary, *loaded));
    EXPECT_EQ(ReadBytes(dir / "again.kvx"), saved);
}

TEST_F(InnSearch, FoldedEncodedSubjectIsKeptWhole) {
    const auto& modern = Group(kModernGroup);
    auto folded = std::find_if(modern.begin(), modern.end(), [](const GeneratedArticle& a) {
        return std::any_of(a.folded.begin(), a.folded.end(),
                           [](const auto& h) { return h.first == "Subject"; });
    });
    ASSERT_NE(folded, modern.end());
    std::string id = folded->MessageId();
    SearchOutcome outcome =
        Search({kModernGroup, "Message-ID", id.substr(0, id.find('@') + 1), MATCH_ANY_WORD, 0});
    ASSERT_EQ(outcome.result, 1) << outcome.statusText;
    const kvArticle& record = outcome.set->At(0);
    EXPECT_EQ(std::string(record.subject), *folded->Header("Subject"));
    EXPECT_NE(std::string(record.subject).find("(a long subject, folded over three lines)"),
              std::string::npos);
    EXPECT_EQ(ReadableHeader(record.subject), *folded->ReadableHeader("Subject"));
}

} // namespace korvex_test
