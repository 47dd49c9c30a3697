// CSV, JSON Lines and mbox exports read back by Python's csv, json and mailbox
// modules (read_exports.py): every value as those readers see it.
#include "csv_export.h"
#include "jsonl_export.h"
#include "mbox_export.h"
#include "temp_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

const char kCutTail[] = "\n\n***** Warning: Long article (>32K bytes), truncated! *****\n\n";

// Fields in record order: from, newsgroups, subject, date, messageId,
// organization, keywords, summary, sender, replyTo.
std::unique_ptr<kvArticle> MakeArticle(std::vector<const char*> fields, const char* body,
                                       int lines = -1) {
    auto a = std::make_unique<kvArticle>();
    for (int f = 0; f < KV_ARTICLE_FIELD_COUNT; ++f)
        CopyField(ArticleField(*a, f), KV_FIELD_SIZE, fields[f]);
    if (body != nullptr) {
        a->body.reset(new char[std::strlen(body) + 1]);
        std::strcpy(a->body.get(), body);
    }
    a->lines = lines;
    return a;
}

// What read_exports.py prints for the file, or "failed: ..." with its status.
std::string ReadBack(const char* format, const std::string& path) {
    std::string command = std::string(KORVEX_PYTHON) + " " + KORVEX_EXPORT_READER + " " + format +
                          " " + path + " 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return "failed: no pipe";
    std::string out;
    char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
        out.append(chunk, n);
    int status = pclose(pipe);
    return status == 0 ? out : "failed: " + std::to_string(status) + "\n" + out;
}

class Exports : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(temp.path.empty());
        CopyField(s.pattern, "caf\xe9");
        CopyField(s.header, "Subject");
        CopyField(s.server, "news.example");
        CopyField(s.newsgroup, "alt.test");
        CopyField(s.searchDate, "Tue Dec  8 22:09:47 2026");
        CopyField(s.groupCount, "1234");
        CopyField(s.foundCount, "4");
        // Encoded words; lines beginning with "From ".
        set.Append(MakeArticle(
            {"=?ISO-8859-1?Q?Ren=E9?= <rene@x.org>", "alt.test", "=?UTF-8?Q?Caf=C3=A9?= prices",
             "Tue, 8 Dec 2026 22:09:47 +0100", "<1@x.org>", "<none>", "<none>", "<none>", "<none>",
             "<none>"},
            "From the start\n>From quoted\n>>From twice\n>>\nFrom again\nFrom: not a header\n"));
        // A subject like a formula, an unreadable date, Latin-1 in headers (names in
        // address fields too) and the body.
        set.Append(
            MakeArticle({"bob@y.org (Bob)", "alt.test", "=1+2 formula", "someday", "<2@y.org>",
                         "M\xfcnchen", "<none>", "<none>", "\"S\xf6ren K.\" <soren@y.org>",
                         "bob@y.org (B\xf6"
                         "b)"},
                        "caf\xe9 cr\xe8me\n"));
        // Control characters, quotes and commas; a cut article.
        std::string cut = std::string("bell\x07 and \x1b[1m\n") + kCutTail;
        set.Append(MakeArticle({"\"Doe, J.\" <j@z.org>", "alt.test", "-\x01 dash",
                                "13 Nov 26 10:00 EST", "<3@z.org>", "Quote \"me\", please",
                                "<none>", "<none>", "<none>", "<none>"},
                               cut.c_str(), 42));
        // An empty body, fields missing.
        set.Append(MakeArticle({"<none>", "alt.test", "empty", "<none>", "<4@w.org>", "<none>",
                                "@home", "<none>", "<none>", "<none>"},
                               nullptr));
    }
    void ExpectLines(const std::string& out, const std::vector<std::string>& lines) {
        for (const std::string& line : lines)
            EXPECT_NE(out.find(line + "\n"), std::string::npos) << line << "\nin:\n" << out;
    }
    korvex_test::TempDir temp{"exports"};
    kvSearchSummary s;
    kvResultSet set;
};

TEST_F(Exports, CsvReadsBackWithGuardedQuotedFields) {
    std::string path = temp / "out.csv";
    ASSERT_TRUE(SaveResultsCsv(path.c_str(), s, set));
    std::string out = ReadBack("csv", path);
    ExpectLines(out, {
                         "0 header [\"position\", \"group\", \"server\", \"date\", \"date_utc\", "
                         "\"from\", \"address\", \"subject\", \"message_id\", \"organization\", "
                         "\"keywords\", \"lines\", \"length\", \"cut\"]",
                         "1 position \"1\"",
                         "1 group \"alt.test\"",
                         "1 server \"news.example\"",
                         "1 date \"Tue, 8 Dec 2026 22:09:47 +0100\"",
                         "1 date_utc \"2026-12-08T21:09:47Z\"",
                         "1 from \"Ren\\u00e9 <rene@x.org>\"",
                         "1 address \"rene@x.org\"",
                         "1 subject \"Caf\\u00e9 prices\"",
                         "1 message_id \"<1@x.org>\"",
                         "1 organization \"\"",
                         "1 lines \"\"",
                         "1 length \"74\"",
                         "1 cut \"no\"",
                         "2 date \"someday\"",
                         "2 date_utc \"\"",
                         "2 address \"bob@y.org\"",
                         "2 subject \"'=1+2 formula\"",
                         "2 organization \"M\\u00fcnchen\"",
                         "3 from \"\\\"Doe, J.\\\" <j@z.org>\"",
                         "3 address \"j@z.org\"",
                         "3 subject \"'-\\u2401 dash\"",
                         "3 date_utc \"2026-11-13T15:00:00Z\"",
                         "3 organization \"Quote \\\"me\\\", please\"",
                         "3 lines \"42\"",
                         "3 length \"77\"",
                         "3 cut \"yes\"",
                         "4 from \"\"",
                         "4 address \"\"",
                         "4 keywords \"'@home\"",
                         "4 length \"0\"",
                     });
    EXPECT_EQ(out.find("5 "), std::string::npos) << out;
    EXPECT_NE(korvex_test::ReadBytes(path).find("\"Quote \"\"me\"\", please\""), std::string::npos);
}

TEST_F(Exports, JsonLinesReadBackWithRawAndDecodedFields) {
    std::string path = temp / "out.jsonl";
    ASSERT_TRUE(SaveResultsJsonLines(path.c_str(), s, set, true));
    std::string out = ReadBack("jsonl", path);
    ExpectLines(
        out,
        {
            "0 type \"search\"",
            "0 pattern \"caf\\u00e9\"",
            "0 group \"alt.test\"",
            "0 date \"Tue Dec  8 22:09:47 2026\"",
            "0 group_count 1234",
            "0 found_count 4",
            "0 articles 4",
            "1 type \"article\"",
            "1 position 1",
            "1 from \"Ren\\u00e9 <rene@x.org>\"",
            "1 headers.From {\"raw\": \"=?ISO-8859-1?Q?Ren=E9?= <rene@x.org>\", "
            "\"decoded\": \"Ren\\u00e9 <rene@x.org>\"}",
            "1 headers.Keywords null",
            "1 organization null",
            "1 date_utc \"2026-12-08T21:09:47Z\"",
            "1 lines null",
            "1 body \"From the start\\n>From quoted\\n>>From twice\\n>>\\nFrom again\\nFrom: not a "
            "header\\n\"",
            "2 subject \"=1+2 formula\"",
            "2 date_utc null",
            "2 headers.Organization {\"raw\": \"M\\u00fcnchen\", \"decoded\": "
            "\"M\\u00fcnchen\"}",
            "2 body \"caf\\u00e9 cr\\u00e8me\\n\"",
            "3 subject \"-\\u0001 dash\"",
            "3 lines 42",
            "3 length 77",
            "3 cut true",
            "3 body \"bell\\u0007 and \\u001b[1m\\n\\n\\n***** Warning: Long article "
            "(>32K bytes), truncated! *****\\n\\n\"",
            "4 from null",
            "4 address null",
            "4 keywords \"@home\"",
            "4 length 0",
            "4 cut false",
            "4 body \"\"",
        });

    ASSERT_TRUE(SaveResultsJsonLines(path.c_str(), s, set, false));
    out = ReadBack("jsonl", path);
    EXPECT_NE(out.find("4 cut false\n"), std::string::npos) << out;
    EXPECT_EQ(out.find(" body "), std::string::npos) << out;
}

TEST_F(Exports, MboxReadsBackAsTheSameMessages) {
    std::string path = temp / "out.mbox";
    ASSERT_TRUE(SaveResultsMbox(path.c_str(), set));
    std::string out = ReadBack("mbox", path);
    ExpectLines(
        out,
        {
            "1 from_line \"rene@x.org Tue Dec  8 21:09:47 2026\"",
            "1 From \"Ren\\u00e9 <rene@x.org>\"",
            "1 Subject \"Caf\\u00e9 prices\"",
            "1 Date \"Tue, 8 Dec 2026 22:09:47 +0100\"",
            "1 Message-ID \"<1@x.org>\"",
            "1 X-Korvex-Cut \"no\"",
            "1 content_type \"text/plain\"",
            "1 charset \"utf-8\"",
            "1 body \"From the start\\n>From quoted\\n>>From twice\\n>>\\nFrom again\\nFrom: not a "
            "header\\n\"",
            "2 from_line \"bob@y.org Thu Jan  1 00:00:00 1970\"",
            "2 Subject \"=1+2 formula\"",
            "2 Organization \"M\\u00fcnchen\"",
            "2 From.address \"bob@y.org\"",
            "2 Sender \"S\\u00f6ren K. <soren@y.org>\"",
            "2 Sender.address \"soren@y.org\"",
            "2 Reply-To \"B\\u00f6b <bob@y.org>\"",
            "2 Reply-To.address \"bob@y.org\"",
            "2 body \"caf\\u00e9 cr\\u00e8me\\n\"",
            "3 from_line \"j@z.org Fri Nov 13 15:00:00 2026\"",
            "3 Subject \"-\\u0001 dash\"",
            "3 Organization \"Quote \\\"me\\\", please\"",
            "3 X-Korvex-Cut \"yes\"",
            "3 body \"bell\\u0007 and \\u001b[1m\\n\\n\\n***** Warning: Long article "
            "(>32K bytes), truncated! *****\\n\\n\"",
            "4 from_line \"MAILER-DAEMON Thu Jan  1 00:00:00 1970\"",
            "4 Message-ID \"<4@w.org>\"",
            "4 Keywords \"@home\"",
            "4 body \"\"",
        });
    EXPECT_EQ(out.find("4 From "), std::string::npos) << out;
    EXPECT_EQ(out.find("5 "), std::string::npos) << out;
    // On disk the From lines of the body are quoted once more.
    EXPECT_NE(korvex_test::ReadBytes(path).find(
                  "\n>From the start\n>>From quoted\n>>>From twice\n>>\n>From again\n"
                  "From: not a header\n"),
              std::string::npos);
}

TEST_F(Exports, AFailedExportLeavesTheExistingFile) {
    std::string path = temp / "kept.csv";
    korvex_test::WriteBytes(path, "old");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    std::string missingDir = temp / "no-such-dir/out";
    EXPECT_FALSE(SaveResultsCsv(missingDir.c_str(), s, set));
    EXPECT_FALSE(SaveResultsJsonLines(missingDir.c_str(), s, set, true));
    EXPECT_FALSE(SaveResultsMbox(missingDir.c_str(), set));
    ASSERT_TRUE(SaveResultsMbox(path.c_str(), set));
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(korvex_test::ReadBytes(path).rfind("From rene@x.org ", 0), 0u);
}

} // namespace
