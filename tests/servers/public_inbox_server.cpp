#include "public_inbox_server.h"

#include "article_generator.h"
#include "nntp_line_client.h"

#include <cstdlib>
#include <sstream>
#include <vector>

namespace korvex_test {

const char* const kPublicInboxGroup = kMixedGroup;

std::string PublicInboxServer() {
    const char* server = std::getenv("KORVEX_PI_SERVER");
    return server != nullptr && *server != '\0' ? server : "127.0.0.1:10119";
}

namespace {

// The Message-ID that "XHDR Message-ID n" gives for article n, or "".
std::string ListedId(NntpLineClient& conn, long number) {
    std::string status;
    std::vector<std::string> lines;
    if (!conn.Command("XHDR Message-ID " + std::to_string(number), status) ||
        StatusCode(status) != 221 || !conn.ReadMultiline(lines) || lines.size() != 1)
        return "";
    std::size_t space = lines[0].find(' ');
    return space == std::string::npos ? "" : lines[0].substr(space + 1);
}

} // namespace

bool ServesGeneratedGroup(const std::string& server, const std::string& group, std::string& why) {
    long count = 0;
    int index = 0;
    for (const GeneratedGroupInfo& g : GeneratedGroups())
        if (g.name == group) count = g.count, index = g.index;
    if (count == 0) {
        why = "the generator makes no group " + group;
        return false;
    }
    std::string host = server;
    int port = 119;
    std::size_t colon = server.rfind(':');
    if (colon != std::string::npos && server.find(':') == colon) {
        host = server.substr(0, colon);
        port = std::atoi(server.c_str() + colon + 1);
    }
    NntpLineClient conn;
    std::string status;
    if (!conn.Connect(host, port)) {
        why = conn.Error();
        return false;
    }
    if (!conn.ReadLine(status) || status.empty() || status[0] != '2') {
        why = "greeting \"" + status + "\"";
        return false;
    }
    if (!conn.Command("GROUP " + group, status)) {
        why = conn.Error();
        return false;
    }
    std::istringstream reply(status);
    long code = 0, estimate = 0, low = 0, high = 0;
    reply >> code >> estimate >> low >> high;
    if (code != 211 || low != 1 || high != count) {
        why = "GROUP " + group + " answered \"" + status + "\", not articles 1 to " +
              std::to_string(count);
        return false;
    }
    for (long n : {1L, count}) {
        std::string id = ListedId(conn, n);
        if (id != GeneratedMessageId(index, n)) {
            why = "article " + std::to_string(n) + " has Message-ID \"" + id + "\", not " +
                  GeneratedMessageId(index, n);
            return false;
        }
    }
    conn.Command("QUIT", status);
    return true;
}

} // namespace korvex_test
