// Description file: the search dialog's lists and starting settings, read from
// hand-made files; each case names only the values it is about.
#include "description_file.h"
#include "run_as_posix.h"
#include "temp_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Join(const std::vector<std::string>& entries) {
    std::string out;
    for (const std::string& entry : entries)
        out += "[" + entry + "]";
    return out;
}

// Everything the dialog starts from, as ";name=value;name=value;...;".
std::string Describe(const kvSearchRequest& r, const kvDialogSetup& s) {
    std::ostringstream out;
    out << ";pattern=" << r.pattern << ";server=" << r.server << ";newsgroup=" << r.newsgroup
        << ";matchMode=" << r.matchMode << ";ignoreCase=" << r.ignoreCase
        << ";maxArticles=" << r.maxArticles << ";maxHeaders=" << r.maxHeaders
        << ";header=" << r.header << ";timeLimit=" << r.timeLimit << ";timeout=" << r.timeoutSeconds
        << ";caFile=" << r.caFile << ";allowPlain=" << r.allowPlainPassword
        << ";compress=" << r.compress << ";serverFilter=" << r.serverFilter
        << ";pipeline=" << r.pipeline << ";retries=" << r.retries
        << ";patterns=" << Join(s.patterns) << ";servers=" << Join(s.servers)
        << ";newsgroups=" << Join(s.newsgroups) << ";matchButton=" << s.matchSelection
        << ";caseButton=" << s.caseSelection << ";findOn=" << s.findLimitOn
        << ";findStart=" << s.findSliderStart << ";scanOn=" << s.scanLimitOn
        << ";scanStart=" << s.scanSliderStart << ";scanWhole=" << s.scanWhole << ";headers=";
    for (const auto& name : s.headerNames)
        out << name << (&name == &s.headerNames[KV_HEADER_CHOICES - 1] ? ";" : ",");
    return out.str();
}

// The dialog's starting state from a description file holding text (nullptr: no file).
std::string Read(const char* text) {
    korvex_test::TempDir dir("description");
    if (dir.path.empty()) return "no temporary directory";
    std::string path = dir / "korvex.dat";
    if (text != nullptr) korvex_test::WriteBytes(path, text);
    kvSearchRequest request;
    CopyField(request.maxHeaders, "9"); // what the file decides is set, whatever it held
    request.timeoutSeconds = 5;
    request.pipeline = 3;
    request.retries = 7;
    kvDialogSetup setup;
    ReadDescriptionFile(path, request, setup);
    return Describe(request, setup);
}

struct DescriptionCase {
    const char* file;     // nullptr: no description file
    const char* expected; // "name=value;..." for the values the case is about
};

const DescriptionCase kCases[] = {
    {nullptr, "pattern=;server=;newsgroup=;matchMode=1;ignoreCase=1;maxArticles=all;"
              "maxHeaders=4000;header=Subject;timeLimit=any;timeout=30;pipeline=1024;patterns=;"
              "servers=;"
              "newsgroups=;matchButton=0;caseButton=1;findOn=0;findStart=0;scanOn=1;scanStart=0;"
              "headers=Subject,Keywords,Summary,Date,From,Reply-To,Message-ID,Organization"},
    // Lists: servers and newsgroups end at a blank or tab, patterns are whole lines.
    {"[Servers]\nhost 119\n[/Servers]\n[Patterns]\nhost 119\n[/Patterns]\n",
     "servers=[host];server=host;patterns=[host 119];pattern=host 119"},
    {"[Servers]\n news\n\nnews.example\tx\n[/Servers]\nafter\n",
     "servers=[][][news.example];server="},
    {"[Newsgroups]\na.b\nc.d e\n", "newsgroups=[a.b][c.d];newsgroup=a.b"},
    {"[patterns]\nx\n[Patterns] text\ny\n[/Patterns] text\nz\n", "patterns=[y]"},
    {"[Patterns]\n[/Patterns]\n[Patterns]\nx\n", "patterns=;pattern="},
    // Settings.
    {"[Settings]\nMATCH_WORD=all\nMATCH_CASE=match\n[/Settings]\n",
     "matchMode=0;matchButton=1;ignoreCase=0;caseButton=0"},
    {"[Settings]\nMATCH_WORD:phrase\nMATCH_CASE=Match\n",
     "matchMode=2;matchButton=2;ignoreCase=1;caseButton=1"},
    {"[Settings]\nMATCH_WORD=All\n", "matchMode=1;matchButton=0"},
    {"[Settings]\nMAX_ARTICLES=all\n", "maxArticles=all;findOn=0"},
    {"[Settings]\nMAX_ARTICLES=0\n", "maxArticles=all;findOn=0"},
    {"[Settings]\nMAX_ARTICLES=\n", "maxArticles=all;findOn=0"},
    {"[Settings]\nMAX_ARTICLES=25 # c\n",
     "maxArticles=25;findOn=1;findStart=25;maxHeaders=4000;scanOn=1;scanStart=25"},
    {"[Settings]\nMAX_HEADERS=12345678\n", "maxHeaders=1234567;scanOn=1;scanStart=1234567"},
    {"[Settings]\nMAX_HEADERS=-5\nMAX_ARTICLES=5000\n",
     "maxHeaders=all;scanOn=0;scanStart=-5;maxArticles=5000;findStart=5000"},
    // "whole": every number of the group; the slider keeps its fallback start.
    {nullptr, "maxHeaders=4000;scanWhole=0"},
    {"[Settings]\nMAX_HEADERS=whole\n", "maxHeaders=whole;scanWhole=1"},
    {"[Settings]\nMAX_HEADERS=whole # every article\nMAX_ARTICLES=40\n",
     "maxHeaders=whole;scanWhole=1;scanStart=40;maxArticles=40"},
    {"[Settings]\nMAX_HEADERS=all\n", "maxHeaders=all;scanOn=0;scanWhole=0"},
    {"[Settings]\nMAX_HEADERS=whale\n", "maxHeaders=all;scanWhole=0"},
    {"[Settings]\n[/Settings]\nMAX_HEADERS=whole\n", "maxHeaders=4000;scanWhole=0"},
    {"[Settings]\nTIMEOUTS=0\n", "timeout=30"},
    {"[Settings]\nTIMEOUTS=abc\n", "timeout=30"},
    {"[Settings]\nTIMEOUTS=45\n", "timeout=45"},
    {"[Settings]\nPIPELINE=1\n", "pipeline=1"},
    {"[Settings]\nPIPELINE=64 # commands\n", "pipeline=64"},
    {"[Settings]\nPIPELINE=1024\n", "pipeline=1024"},
    {"[Settings]\nPIPELINE=5000\n", "pipeline=1024"},
    {"[Settings]\nPIPELINE=0\n", "pipeline=1024"},
    {"[Settings]\nPIPELINE=-4\n", "pipeline=1024"},
    {"[Settings]\nPIPELINE=many\n", "pipeline=1024"},
    {"PIPELINE=7\n[Settings]\n[/Settings]\n", "pipeline=1024"},
    // Reconnects: 0 turns them off, more than 10 are cut to 10, anything else
    // leaves the three a search makes without the key.
    {nullptr, "retries=3"},
    {"[Settings]\nRETRIES=0\n", "retries=0"},
    {"[Settings]\nRETRIES=5 # reconnects\n", "retries=5"},
    {"[Settings]\nRETRIES=11\n", "retries=10"},
    {"[Settings]\nRETRIES=99999999999999999999\n", "retries=10"},
    {"[Settings]\nRETRIES=-2\n", "retries=3"},
    {"[Settings]\nRETRIES=never\n", "retries=3"},
    {"[Settings]\nRETRIES=\n", "retries=3"},
    {"RETRIES=1\n[Settings]\n[/Settings]\n", "retries=3"},
    // Waits beyond 999999 seconds are cut to it (times 1000 must fit an int).
    {"[Settings]\nTIMEOUTS=999999\n", "timeout=999999"},
    {"[Settings]\nTIMEOUTS=1000000\n", "timeout=999999"},
    {"[Settings]\nTIMEOUTS=2147484\n", "timeout=999999"},
    {"[Settings]\nTIMEOUTS=9999999\n", "timeout=999999"},
    {"[Settings]\nTIMEOUTS", "timeout=30"},
    {"[Settings]\nTIME_LIMIT=15 # c\n", "timeLimit=15"},
    {"[Settings]\nTIME_LIMIT=12345\n", "timeLimit=123"},
    {"[Settings]\nSEARCH_IN=keywords\n",
     "header=Keywords;headers=Keywords,Subject,Summary,Date,From,Reply-To,Message-ID,Organization"},
    {"[Settings]\nSEARCH_IN=from\n",
     "header=From;headers=From,Keywords,Summary,Date,Subject,Reply-To,Message-ID,Organization"},
    {"[Settings]\nSEARCH_IN=Subject\n",
     "header=Subject;headers=Subject,Keywords,Summary,Date,From,Reply-To,Message-ID,Organization"},
    {"[Settings]\nSEARCH_IN=From\n", "header=Subject"}, // compared case-sensitively
    // Keys count only inside the section, up to its end marker.
    {"TIMEOUTS=5\n[Settings]\nX=1\n[/Settings]\nTIMEOUTS=6\n", "timeout=30"},
    {"[Settings]\n[/Settings]\n[Settings]\nTIMEOUTS=7\n", "timeout=30"},
    {"[Settings]\n TIMEOUTS=5\ntimeouts=5\nTIMEOUTS=9\nTIMEOUTS=8\n", "timeout=9"},
    // Certificates and plain-text passwords.
    {nullptr, "caFile=;allowPlain=0"},
    {"[Settings]\nCA_FILE=/etc/ssl/news-ca.pem   # the news provider's CA\n[/Settings]\n",
     "caFile=/etc/ssl/news-ca.pem;allowPlain=0"},
    {"[Settings]\nCA_FILE=/a/very/long/path/to/the/certificates/of/my/provider.pem\r\n",
     "caFile=/a/very/long/path/to/the/certificates/of/my/provider.pem"},
    {"[Settings]\nCA_FILES=/x.pem\nCA_FILE\n", "caFile="},
    {"[Settings]\n[/Settings]\nCA_FILE=/x.pem\n", "caFile="},
    {"[Settings]\nALLOW_PLAIN_PASSWORD=1\n", "allowPlain=1"},
    {"[Settings]\nALLOW_PLAIN_PASSWORD=yes\n", "allowPlain=0"},
    {"[Settings]\nALLOW_PLAIN_PASSWORD=0\n", "allowPlain=0"},
    // Compression is on unless turned off with exactly 0.
    {nullptr, "compress=1"},
    {"[Settings]\nCOMPRESS=0\n", "compress=0"},
    {"[Settings]\nCOMPRESS=0   # behind a proxy that mangles it\n", "compress=0"},
    {"[Settings]\nCOMPRESS=no\n", "compress=1"},
    {"[Settings]\n[/Settings]\nCOMPRESS=0\n", "compress=1"},
    // So is the server's pre-filtering, and the two are set apart.
    {nullptr, "serverFilter=1"},
    {"[Settings]\nSERVER_FILTER=0\n", "serverFilter=0;compress=1"},
    {"[Settings]\nSERVER_FILTER=0 # the server's XPAT is broken\nCOMPRESS=0\n",
     "serverFilter=0;compress=0"},
    {"[Settings]\nSERVER_FILTER=off\n", "serverFilter=1"},
    {"[Settings]\nCOMPRESS=0\n", "serverFilter=1"},
    {"[Settings]\n[/Settings]\nSERVER_FILTER=0\n", "serverFilter=1"},
};

TEST(DescriptionFile, StartingState) {
    for (const DescriptionCase& c : kCases) {
        SCOPED_TRACE(c.file != nullptr ? c.file : "(no file)");
        std::string got = Read(c.file);
        std::istringstream expected(c.expected);
        for (std::string item; std::getline(expected, item, ';');)
            EXPECT_NE(got.find(";" + item + ";"), std::string::npos) << item << " in " << got;
    }
}

// A first list entry longer than the request field (a pattern holds 255 bytes)
// loses the UTF-8 character that does not fit whole, never a part of it.
TEST(DescriptionFile, LongEntryIsCutBetweenCharacters) {
    const std::string a253(253, 'a');
    const struct {
        std::string entry;
        std::string pattern;
    } cases[] = {
        {a253 + "\xC3\xA9", a253 + "\xC3\xA9"},                 // fits exactly
        {a253 + "b\xC3\xA9", a253 + "b"},                       // 2-byte character cut
        {a253 + "\xE2\x82\xAC", a253},                          // 3-byte character cut after 2
        {a253.substr(1) + "\xF0\x9F\x98\x80z", a253.substr(1)}, // 4-byte character cut
        {a253 + "bc\xC3\xA9", a253 + "bc"},                     // cut right before a character
    };
    for (const auto& c : cases) {
        std::string file = "[Patterns]\n" + c.entry + "\n[/Patterns]\n";
        std::string got = Read(file.c_str());
        EXPECT_NE(got.find(";pattern=" + c.pattern + ";"), std::string::npos) << c.entry.size();
        char field[8];
        CopyListEntry(field, sizeof field, "abcde\xE2\x82\xAC");
        EXPECT_STREQ(field, "abcde");
    }
}

TEST(DescriptionFile, LongListsAndLines) {
    std::string thirty = "[Patterns]\n", first24;
    for (int i = 0; i < 30; ++i) {
        thirty += "p" + std::to_string(i) + "\n";
        if (i < 24) first24 += "[p" + std::to_string(i) + "]";
    }
    EXPECT_NE(Read(thirty.c_str()).find(";patterns=" + first24 + ";"), std::string::npos);

    // 511 characters a line; the request's pattern holds 255.
    std::string got = Read(("[Patterns]\n" + std::string(600, 'a') + "\n").c_str());
    EXPECT_NE(got.find(";pattern=" + std::string(255, 'a') + ";"), std::string::npos);
    EXPECT_NE(got.find("=[" + std::string(511, 'a') + "][" + std::string(89, 'a') + "];"),
              std::string::npos);
}

TEST(DescriptionFile, CrLfReadsLikeLf) {
    const std::string lf = "[Patterns]\nfoo bar\n\n[/Patterns]\n[Servers]\nnews.example\n"
                           "[/Servers]\n[Settings]\nMATCH_CASE=match\nMAX_ARTICLES=50\n"
                           "SEARCH_IN=date\nTIME_LIMIT=5\nTIMEOUTS=12\n[/Settings]\n";
    std::string crlf;
    for (char c : lf)
        crlf += c == '\n' ? "\r\n" : std::string(1, c);
    std::string fromLf = Read(lf.c_str());
    EXPECT_EQ(Read(crlf.c_str()), fromLf);
    for (const char* item : {";patterns=[foo bar][];", ";ignoreCase=0;", ";maxArticles=50;",
                             ";header=Date;", ";timeLimit=5;", ";timeout=12;"})
        EXPECT_NE(fromLf.find(item), std::string::npos) << item;
}

TEST(DescriptionFile, SectionOrKeyNotFound) {
    char path[] = "/tmp/korvex-description-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    const char text[] = "[Patterns]\n[/Patterns]\n[Settings]\nA=1\n";
    ASSERT_EQ(write(fd, text, sizeof text - 1), static_cast<ssize_t>(sizeof text - 1));
    FILE* file = fdopen(fd, "r");
    std::vector<std::string> entries{"stale"};
    char value[KV_SETTING_VALUE] = "stale";
    EXPECT_EQ(ReadListSection(file, "[Servers]", "[/Servers]", entries, true), -1);
    EXPECT_EQ(ReadListSection(file, "[Patterns]", "[/Patterns]", entries, false), 0);
    EXPECT_FALSE(ReadSetting(file, "[Settings]", "[/Settings]", "B", value));
    EXPECT_STREQ(value, "");
    EXPECT_TRUE(ReadSetting(file, "[Settings]", "[/Settings]", "A", value));
    EXPECT_STREQ(value, "1");
    std::fclose(file);
    unlink(path);
}

} // namespace

namespace {

// The file's servers and security keys, as read from a file of that mode
// (after chmod) in a folder of that mode: "server;caFile;allowPlain;warning".
std::string ReadTrusting(const std::string& text, mode_t folderMode, mode_t fileMode) {
    korvex_test::TempDir dir("description-trust");
    std::string folder = dir / "folder";
    fs::create_directory(folder);
    std::string path = folder + "/korvex.dat";
    korvex_test::WriteBytes(path, text);
    if (chmod(path.c_str(), fileMode) != 0 || chmod(folder.c_str(), folderMode) != 0)
        return "chmod failed";
    kvSearchRequest request;
    kvDialogSetup setup;
    ReadDescriptionFile(path, request, setup);
    std::string warning = setup.warning;
    std::size_t at = warning.find(path);
    if (at != std::string::npos) warning.replace(at, path.size(), "PATH");
    return std::string(request.server) + ";" + request.caFile + ";" +
           (request.allowPlainPassword ? "1" : "0") + ";" + warning;
}

TEST(DescriptionFile, FileOthersMayChangeKeepsItsListsButNotItsSecurityKeys) {
    const std::string keys = "[Servers]\nnews.example\n[/Servers]\n[Settings]\n"
                             "CA_FILE=/home/u/ca.pem\nALLOW_PLAIN_PASSWORD=1\n[/Settings]\n";
    const std::string ignored = "news.example;;0;Ignoring CA_FILE and ALLOW_PLAIN_PASSWORD in "
                                "PATH: other users may change it";
    EXPECT_EQ(ReadTrusting(keys, 0700, 0600), "news.example;/home/u/ca.pem;1;");
    EXPECT_EQ(ReadTrusting(keys, 0755, 0644), "news.example;/home/u/ca.pem;1;");
    EXPECT_EQ(ReadTrusting(keys, 0700, 0664), ignored) << "group may write the file";
    EXPECT_EQ(ReadTrusting(keys, 0700, 0606), ignored) << "others may write the file";
    EXPECT_EQ(ReadTrusting(keys, 0770, 0600), ignored) << "group may write the folder";
    EXPECT_EQ(ReadTrusting(keys, 01777, 0600), ignored) << "a folder like /tmp";
    // Either key alone is ignored; a file without them warns of nothing.
    EXPECT_EQ(ReadTrusting("[Settings]\nALLOW_PLAIN_PASSWORD=1\n", 0700, 0666),
              ";;0;Ignoring CA_FILE and ALLOW_PLAIN_PASSWORD in PATH: other users may change it");
    EXPECT_EQ(ReadTrusting("[Servers]\nnews.example\n[/Servers]\n", 0700, 0666),
              "news.example;;0;");

    if (!korvex_test::RunningAsRoot()) GTEST_SKIP() << "files of other users need root";
    korvex_test::TempDir dir("description-owner");
    std::string path = dir / "korvex.dat";
    korvex_test::WriteBytes(path, keys);
    ASSERT_EQ(chown(path.c_str(), korvex_test::kNobody, korvex_test::kNobody), 0);
    kvSearchRequest request;
    kvDialogSetup setup;
    ReadDescriptionFile(path, request, setup);
    EXPECT_STREQ(request.caFile, "") << "another user's file, read by root";
    EXPECT_FALSE(request.allowPlainPassword);
    EXPECT_NE(setup.warning.find(path), std::string::npos);
}

TEST(DescriptionFile, LinkInAFolderOthersMayWriteIsNotRead) {
    korvex_test::TempDir dir("description-link");
    korvex_test::WriteBytes(dir / "real.dat", "[Servers]\nnews.example\n[/Servers]\n");
    std::string shared = dir / "shared";
    fs::create_directory(shared);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    ASSERT_EQ(symlink((dir / "real.dat").c_str(), (shared + "/korvex.dat").c_str()), 0);
    kvSearchRequest request;
    kvDialogSetup setup;
    ReadDescriptionFile(shared + "/korvex.dat", request, setup);
    EXPECT_TRUE(setup.servers.empty());
    EXPECT_NE(setup.warning.find(shared + "/korvex.dat"), std::string::npos) << setup.warning;
    // The same link in a folder of ours is read.
    ASSERT_EQ(symlink((dir / "real.dat").c_str(), (dir / "korvex.dat").c_str()), 0);
    ReadDescriptionFile(dir / "korvex.dat", request, setup);
    EXPECT_EQ(Join(setup.servers), "[news.example]");
    EXPECT_TRUE(setup.warning.empty());
}

} // namespace
