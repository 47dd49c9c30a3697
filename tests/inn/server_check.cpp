#include "server_check.h"

#include "article_generator.h"
#include "nntp_line_client.h"

#include <cstdlib>
#include <vector>

namespace korvex_test {
namespace {

struct HeaderLine {
    long number;
    std::string value;
};

// "XHDR name first-last" as (number, value) pairs; false on a failed exchange.
bool FetchHeader(NntpLineClient& conn, const std::string& name, long first, long last,
                 std::vector<HeaderLine>& out, std::string& problem) {
    std::string status;
    std::vector<std::string> lines;
    if (!conn.Command("XHDR " + name + " " + std::to_string(first) + "-" + std::to_string(last),
                      status) ||
        StatusCode(status) != 221 || !conn.ReadMultiline(lines)) {
        problem = "XHDR " + name + ": " + (status.empty() ? conn.Error() : status);
        return false;
    }
    out.clear();
    for (const std::string& line : lines) {
        std::size_t blank = line.find(' ');
        out.push_back({std::strtol(line.c_str(), nullptr, 10),
                       blank == std::string::npos ? std::string() : line.substr(blank + 1)});
    }
    return true;
}

// Quick: the first and the last article carry the generated Message-IDs.
ServerState CheckEnds(NntpLineClient& conn, const GeneratedGroupInfo& group, long count, long last,
                      std::ostream& out) {
    const std::string prefix = group.name + ": ";
    std::string problem;
    for (long n : {1L, last}) {
        std::vector<HeaderLine> ids;
        if (!FetchHeader(conn, "Message-ID", n, n, ids, problem)) {
            out << prefix << problem << "\n";
            return ServerState::Unreachable;
        }
        if (ids.size() != 1 || ids[0].value != GeneratedMessageId(group.index, n)) {
            out << prefix << "holds other articles than the generator makes (article " << n
                << ")\n";
            return ServerState::Other;
        }
    }
    if (count < group.count) {
        out << prefix << count << " of " << group.count << " articles loaded\n";
        return ServerState::Incomplete;
    }
    out << prefix << group.count << " articles\n";
    return ServerState::Loaded;
}

ServerState CheckGroup(NntpLineClient& conn, const GeneratedGroupInfo& group, CheckDepth depth,
                       std::ostream& out) {
    const std::string prefix = group.name + ": ";
    std::string status;
    if (!conn.Command("GROUP " + group.name, status)) {
        out << prefix << conn.Error() << "\n";
        return ServerState::Unreachable;
    }
    if (StatusCode(status) == 411) {
        out << prefix << "no such group\n";
        return ServerState::Incomplete;
    }
    long count = 0, first = 0, last = 0;
    const char* at = status.c_str() + 3;
    char* end = nullptr;
    count = std::strtol(at, &end, 10);
    first = std::strtol(end, &end, 10);
    last = std::strtol(end, &end, 10);
    if (StatusCode(status) != 211) {
        out << prefix << "GROUP answered \"" << status << "\"\n";
        return ServerState::Unreachable;
    }
    if (count == 0 || last < first) {
        out << prefix << "no articles loaded\n";
        return ServerState::Incomplete;
    }
    if (first != 1 || last > group.count) {
        out << prefix << "holds other articles than the generator makes (articles " << first << "-"
            << last << ")\n";
        return ServerState::Other;
    }
    if (depth == CheckDepth::Quick) return CheckEnds(conn, group, count, last, out);

    std::vector<HeaderLine> ids;
    std::string problem;
    if (!FetchHeader(conn, "Message-ID", 1, last, ids, problem)) {
        out << prefix << problem << "\n";
        return ServerState::Unreachable;
    }
    for (std::size_t i = 0; i < ids.size(); ++i) {
        long expected = static_cast<long>(i) + 1;
        if (ids[i].number != expected ||
            ids[i].value != GeneratedMessageId(group.index, expected)) {
            out << prefix << "holds other articles than the generator makes (article "
                << ids[i].number << " is " << ids[i].value << ")\n";
            return ServerState::Other;
        }
    }
    long loaded = static_cast<long>(ids.size());
    if (loaded < group.count) {
        out << prefix << loaded << " of " << group.count << " articles loaded\n";
        return ServerState::Incomplete;
    }

    std::vector<HeaderLine> subjects;
    if (!FetchHeader(conn, "Subject", 1, last, subjects, problem)) {
        out << prefix << problem << "\n";
        return ServerState::Unreachable;
    }
    std::vector<GeneratedArticle> articles = GenerateGroup(group.name);
    for (std::size_t i = 0; i < articles.size(); ++i) {
        if (i >= subjects.size() || subjects[i].value != *articles[i].Header("Subject")) {
            out << prefix << "holds other articles than the generator makes (subject of article "
                << i + 1 << ")\n";
            return ServerState::Other;
        }
    }
    out << prefix << group.count << " articles, as generated\n";
    return ServerState::Loaded;
}

} // namespace

ServerState CheckServer(const std::string& server, std::ostream& out, CheckDepth depth) {
    NntpLineClient conn;
    std::string status;
    if (!conn.Connect(server, 119)) {
        out << "cannot connect: " << conn.Error() << "\n";
        return ServerState::Unreachable;
    }
    if (!conn.ReadLine(status) || (StatusCode(status) != 200 && StatusCode(status) != 201)) {
        out << "greeting: " << (status.empty() ? conn.Error() : status) << "\n";
        return ServerState::Unreachable;
    }
    if (!conn.Command("MODE READER", status) ||
        (StatusCode(status) != 200 && StatusCode(status) != 201)) {
        out << "MODE READER: " << (status.empty() ? conn.Error() : status) << "\n";
        return ServerState::Unreachable;
    }
    ServerState worst = ServerState::Loaded;
    for (const GeneratedGroupInfo& group : GeneratedGroups()) {
        ServerState state = CheckGroup(conn, group, depth, out);
        if (static_cast<int>(state) > static_cast<int>(worst)) worst = state;
        if (state == ServerState::Unreachable) break;
    }
    conn.Command("QUIT", status);
    return worst;
}

} // namespace korvex_test
