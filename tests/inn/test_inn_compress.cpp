// COMPRESS DEFLATE against the real news server: its deflate stream and ours
// understand each other, and a deflated search saves the same results file
// as a plain one.
#include "commands.h"
#include "compression.h"
#include "connect.h"
#include "net_library.h"
#include "results_file.h"
#include "search_summary.h"
#include "secure_servers.h"
#include "temp_files.h"
#include "transport.h"

namespace korvex_test {
namespace {

// MODE READER, GROUP and XHDR of the group's Subjects, deflated when `compress`.
// The header list, or the step that failed.
std::string SubjectList(const char* group, bool compress) {
    kvNetLibrary library;
    kvConnection conn;
    SetNetTimeout(conn, 10);
    kvAddressList addresses;
    if (!ResolveServer(InnSearch::Server(), 119, addresses)) return "no address";
    if (ConnectToAny(addresses, conn) != kvConnectResult::Connected) return "no connection";
    char reply[512];
    if (ReceiveReplyLine(conn, reply, sizeof reply) <= 0) return "no greeting";
    SendCommand(conn, "MODE READER\r\n");
    if (ReceiveReplyLine(conn, reply, sizeof reply) <= 0) return "no MODE READER reply";
    long result = 0;
    if (compress && StartCompression(conn, result) != kvCompression::Active) return "not deflated";
    SendCommand(conn, "GROUP %s\r\n", group);
    if (ReceiveReplyLine(conn, reply, sizeof reply) <= 0 || ReplyCode(reply) != 211)
        return "GROUP failed";
    long count = 0, first = 0, last = 0;
    if (std::sscanf(reply, "211 %ld %ld %ld", &count, &first, &last) != 3) return "bad GROUP";
    kvBuffer list;
    if (!list.Allocate(KV_HEADER_LIST_SIZE)) return "no memory";
    std::string all;
    for (long low = first; low <= last; low += 500) {
        if (!SendCommand(conn, "XHDR Subject %ld-%ld\r\n", low, low + 499)) return "bad command";
        if (ReceiveMultiline(conn, list, 221, kvResponseMode::HeaderList) != 1)
            return "XHDR failed";
        all.append(list.data.get(), list.length);
    }
    SendQuit(conn);
    return all;
}

TEST_F(InnSearch, DeflatedHeaderListsEqualPlainOnes) {
    for (const char* group : {kSmallGroup, kBigGroup}) {
        SCOPED_TRACE(group);
        const std::string plain = SubjectList(group, false);
        const std::string deflated = SubjectList(group, true);
        EXPECT_GT(plain.size(), 1000u) << plain;
        EXPECT_TRUE(deflated == plain) << deflated.substr(0, 200);
    }
}

std::string Saved(const SearchOutcome& outcome, const SearchQuery& query, const std::string& path) {
    if (outcome.result <= 0) return "";
    kvSearchRequest request;
    CopyField(request.pattern, query.pattern.c_str());
    CopyField(request.newsgroup, query.group.c_str());
    CopyField(request.header, query.header.c_str());
    kvSearchSummary summary;
    FillSearchSummary(summary, request, "Wed Dec  9 10:00:00 2026", outcome.groupArticleCount,
                      outcome.result);
    EXPECT_EQ(SaveResultsFile(path.c_str(), summary, *outcome.set), 1);
    return ReadBytes(path);
}

TEST_F(SecureInnSearch, DeflatedSearchSavesWhatAPlainOneSaves) {
    // The login's capabilities list COMPRESS DEFLATE there; STARTTLS comes first.
    ServerChoice choice;
    choice.server = TlsServer(START_TLS_LOGIN, false);
    choice.caFile = TestCaFile();
    choice.credentials = FixedLogin(kTestUser, kTestPassword);
    const SearchQuery queries[] = {
        {kSmallGroup, "Subject", "kernel printer", MATCH_ANY_WORD, 1},
        {kMixedGroup, "Subject", "e", MATCH_ANY_WORD, 1, "700", "7"},
        {kBigGroup, "Subject", "item", MATCH_ANY_WORD, 1, "all", "100"},
    };
    TempDir dir("compress");
    for (const SearchQuery& query : queries) {
        SCOPED_TRACE(query.group + " \"" + query.pattern + "\"");
        choice.compress = false;
        SearchOutcome plain = SearchAndCompare(query, choice);
        choice.compress = true;
        SearchOutcome deflated = SearchAndCompare(query, choice);
        EXPECT_GT(plain.result, 0);
        EXPECT_EQ(deflated.result, plain.result);
        EXPECT_EQ(deflated.shown, plain.shown);
        const std::string a = Saved(plain, query, dir / "plain.kvx");
        const std::string b = Saved(deflated, query, dir / "deflated.kvx");
        EXPECT_FALSE(a.empty());
        EXPECT_TRUE(a == b) << "results files differ";
    }
}

} // namespace
} // namespace korvex_test
