#include "secure_servers.h"

#include "test_sockets.h"

#include <cstdlib>
#include <fstream>

namespace korvex_test {

const char* const kTestUser = "testuser";
const char* const kTestPassword = "testpass";

namespace {

int PortOffset() {
    const char* offset = std::getenv("KORVEX_TLS_PORT_OFFSET");
    return offset != nullptr ? std::atoi(offset) : 0;
}

bool Accepts(int port) {
    int fd = TestSocket();
    if (fd < 0) return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<unsigned short>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string error;
    bool ok = TestConnectWithin(fd, reinterpret_cast<sockaddr*>(&a), sizeof a, 5000, error);
    TestCloseSocket(fd);
    return ok;
}

} // namespace

std::string TlsDir() {
    const char* dir = std::getenv("KORVEX_TLS_DIR");
    return dir != nullptr && *dir != '\0' ? dir : "/tmp/korvex-inn-tls";
}

std::string TestCaFile() {
    return TlsDir() + "/ca.pem";
}

std::string TlsServer(int port, bool implicitTls, const char* host) {
    return std::string(implicitTls ? "nntps://" : "") + host + ":" +
           std::to_string(port + PortOffset());
}

kvCredentialSource FixedLogin(const std::string& user, const std::string& password) {
    return [user, password](const std::string&, kvCredentials& out, std::string&) {
        out.user = user;
        out.password = password;
        return kvCredentialAnswer::Given;
    };
}

void SecureInnSearch::SetUp() {
    InnSearch::SetUp();
    if (IsSkipped() || HasFailure()) return;
    bool up = std::ifstream(TestCaFile()).is_open();
    for (int port : {NNTPS_OPEN, START_TLS_LOGIN, START_TLS_ONLY, NNTPS_LOGIN, SELF_SIGNED,
                     WRONG_HOST, EXPIRED})
        up = up && Accepts(port + PortOffset());
    if (up) return;
    std::string why = "the TLS and login reader daemons are not running; start them with: "
                      "scripts/inn-tls.sh start";
    const char* require = std::getenv("KORVEX_REQUIRE_INN");
    if (require != nullptr && std::string(require) == "1") FAIL() << why;
    GTEST_SKIP() << why;
}

} // namespace korvex_test
