// Searches over TLS, STARTTLS and with logins against the reader daemons of
// scripts/inn-tls.sh, each checked against what the plain server holds; and
// every way a secure or authenticated connection fails, with its message.
#include "search_run.h"
#include "secure_servers.h"

namespace korvex_test {
namespace {

const SearchQuery kSmallQuery{"korvex.test.small", "Subject", "kernel printer", MATCH_ANY_WORD, 1};
const SearchQuery kMixedQuery{"korvex.test.mixed", "Subject", "caf\xe9", MATCH_ANY_WORD, 1};

ServerChoice Via(const std::string& server, const std::string& caFile,
                 kvCredentialSource login = nullptr) {
    ServerChoice choice;
    choice.server = server;
    choice.caFile = caFile;
    choice.credentials = std::move(login);
    return choice;
}

TEST_F(SecureInnSearch, SecureSearchesFindWhatThePlainSearchFinds) {
    struct Case {
        const char* name;
        ServerChoice choice;
        bool encrypted;
        bool loggedIn;
    };
    const Case cases[] = {
        {"TLS from the first byte", Via(TlsServer(NNTPS_OPEN, true), TestCaFile()), true, false},
        {"TLS to an IP address", Via(TlsServer(NNTPS_OPEN, true, "127.0.0.1"), TestCaFile()), true,
         false},
        {"STARTTLS before the login",
         Via(TlsServer(START_TLS_LOGIN, false), TestCaFile(), FixedLogin(kTestUser, kTestPassword)),
         true, true},
        {"login only after STARTTLS",
         Via(TlsServer(START_TLS_ONLY, false), TestCaFile(), FixedLogin(kTestUser, kTestPassword)),
         true, true},
        {"login over TLS",
         Via(TlsServer(NNTPS_LOGIN, true), TestCaFile(), FixedLogin("otheruser", "otherpass")),
         true, true},
        {"a server that asks for nothing gets nothing",
         Via(TlsServer(START_TLS_OPEN, false), TestCaFile(), FixedLogin(kTestUser, kTestPassword)),
         false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const SearchQuery& query : {kSmallQuery, kMixedQuery}) {
            SearchOutcome outcome = SearchAndCompare(query, c.choice);
            EXPECT_EQ(outcome.Showed("Korvex: Starting secure connection..."), c.encrypted);
            EXPECT_EQ(outcome.Showed("Korvex: Logging in..."), c.loggedIn);
        }
    }
}

TEST_F(SecureInnSearch, FailuresEndTheRunWithTheirMessage) {
    struct Case {
        ServerChoice choice;
        std::string status;
    };
    const std::string failed = "ERROR: Secure connection failed: ";
    const Case cases[] = {
        {Via(TlsServer(START_TLS_LOGIN, false), TestCaFile(), FixedLogin(kTestUser, "wrong")),
         "ERROR: Authentication failed"},
        {Via(TlsServer(NNTPS_LOGIN, true), TestCaFile(), FixedLogin("nobody", kTestPassword)),
         "ERROR: Authentication failed"},
        {Via(TlsServer(START_TLS_LOGIN, false), TestCaFile()), "ERROR: Authentication required"},
        {Via(TlsServer(NNTPS_LOGIN, true), TestCaFile()), "ERROR: Authentication required"},
        {Via(TlsServer(SELF_SIGNED, true), TestCaFile()),
         failed + "the server's certificate is self-signed and not trusted"},
        {Via(TlsServer(WRONG_HOST, true), TestCaFile()),
         failed + "the server's certificate is for another host name"},
        {Via(TlsServer(WRONG_HOST, true, "127.0.0.1"), TestCaFile()),
         failed + "the server's certificate is for another address"},
        {Via(TlsServer(EXPIRED, true), TestCaFile()),
         failed + "the server's certificate has expired"},
        {Via(TlsServer(NNTPS_OPEN, true), TlsDir() + "/no-such-ca.pem"),
         failed + "the CA file " + TlsDir() + "/no-such-ca.pem cannot be read"},
        // A plain client on a TLS port (nntp:// says so; the port alone would
        // mean TLS): the server waits for a handshake.
        {Via("nntp://" + TlsServer(NNTPS_OPEN, false), TestCaFile()),
         "ERROR: Timeout expired, no response from server"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.choice.server);
        SearchQuery query = kSmallQuery;
        SearchOutcome outcome;
        if (c.status.find("Timeout") != std::string::npos) {
            // Keep the wait short; the fixture's request has no time-out field of its own.
            kvSearchRequest request;
            CopyField(request.server, c.choice.server.c_str());
            CopyField(request.newsgroup, query.group.c_str());
            CopyField(request.pattern, query.pattern.c_str());
            request.timeoutSeconds = 1;
            request.retries = 0; // the greeting never comes, however often asked for
            kvSearchContext context;
            outcome.result = RunSearch(request, *outcome.set, context);
            outcome.statusText = context.statusText;
        } else {
            outcome = Search(query, c.choice);
        }
        EXPECT_EQ(outcome.result, -1);
        EXPECT_EQ(outcome.statusText, c.status);
        for (const std::string& shown : outcome.shown)
            EXPECT_EQ(shown.find(kTestPassword), std::string::npos) << shown;
    }
}

// The certificate is checked against the system's trust store when no CA file
// is named: the test CA is not in it.
TEST_F(SecureInnSearch, SystemTrustStoreDoesNotKnowTheTestCa) {
    SearchOutcome outcome = Search(kSmallQuery, Via(TlsServer(NNTPS_OPEN, true), ""));
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.statusText, "ERROR: Secure connection failed: the server's certificate is "
                                  "not issued by a trusted authority");
}

} // namespace
} // namespace korvex_test
