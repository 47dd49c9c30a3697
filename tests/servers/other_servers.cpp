#include "other_servers.h"

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

std::string LeafnodeServer() {
    const char* server = std::getenv("KORVEX_LEAF_SERVER");
    return server != nullptr && *server != '\0' ? server : "127.0.0.1:10120";
}

namespace {

// Connects as a reader and reads the greeting; false with `why` set.
bool Open(NntpLineClient& conn, const std::string& server, std::string& why) {
    std::string host = server;
    int port = 119;
    std::size_t colon = server.rfind(':');
    if (colon != std::string::npos && server.find(':') == colon) {
        host = server.substr(0, colon);
        port = std::atoi(server.c_str() + colon + 1);
    }
    std::string status;
    if (!conn.Connect(host, port)) {
        why = conn.Error();
        return false;
    }
    if (!conn.ReadLine(status) || status.empty() || status[0] != '2') {
        why = "greeting \"" + status + "\"";
        return false;
    }
    return true;
}

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
    NntpLineClient conn;
    std::string status;
    if (!Open(conn, server, why)) return false;
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

bool ListedMessageIds(const std::string& server, const std::string& group,
                      std::set<std::string>& ids, std::string& why) {
    NntpLineClient conn;
    std::string status;
    std::vector<std::string> lines;
    if (!Open(conn, server, why)) return false;
    conn.Command("MODE READER", status);
    if (!conn.Command("GROUP " + group, status) || StatusCode(status) != 211) {
        why = "GROUP " + group + " answered \"" + status + "\"";
        return false;
    }
    std::istringstream reply(status);
    long code = 0, estimate = 0, low = 0, high = 0;
    reply >> code >> estimate >> low >> high;
    if (!conn.Command("XHDR Message-ID " + std::to_string(low) + "-" + std::to_string(high),
                      status) ||
        StatusCode(status) != 221 || !conn.ReadMultiline(lines)) {
        why = "XHDR Message-ID answered \"" + status + "\"";
        return false;
    }
    for (const std::string& line : lines) {
        std::size_t space = line.find(' ');
        if (space != std::string::npos) ids.insert(line.substr(space + 1));
    }
    conn.Command("QUIT", status);
    return true;
}

} // namespace korvex_test
