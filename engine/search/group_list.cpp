#include "group_list.h"

#include "commands.h"
#include "group_wildmat.h"
#include "transport.h"

#include <algorithm>
#include <cstring>

namespace {

// Room for the answer of a server that ignores the pattern: some 400000 groups.
constexpr std::size_t kGroupListSize = std::size_t{16} << 20;
// Less room than one more line would take: lines may have been dropped.
constexpr std::size_t kGroupListFull = 1024;

std::vector<std::string> Fields(const char* line, std::size_t length) {
    std::vector<std::string> fields;
    std::size_t i = 0;
    while (i < length) {
        while (i < length && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        std::size_t start = i;
        while (i < length && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start) fields.emplace_back(line + start, i - start);
    }
    return fields;
}

bool SendListCommand(kvConnection& conn, int form, const std::string& wildmat) {
    if (form == 0) return SendCommand(conn, "LIST ACTIVE %s\r\n", wildmat.c_str());
    return SendCommand(conn, form == 1 ? "LIST ACTIVE\r\n" : "LIST\r\n");
}

} // namespace

std::vector<std::string> ReadActiveList(const char* response, std::size_t length,
                                        const std::string& wildmat) {
    std::vector<std::string> names;
    const char* end = response + length;
    const char* line = static_cast<const char*>(std::memchr(response, '\n', length));
    while (line != nullptr && ++line < end) {
        const char* next = static_cast<const char*>(std::memchr(line, '\n', end - line));
        std::size_t n = static_cast<std::size_t>((next != nullptr ? next : end) - line);
        if (n > 0 && line[n - 1] == '\r') --n;
        if (n == 1 && line[0] == '.') break;
        std::vector<std::string> f = Fields(line, n);
        if (f.size() >= 4 && WildmatMatches(wildmat, f[0])) {
            if (f[3][0] != '=')
                names.push_back(f[0]);
            else if (f[3].size() > 1)
                names.push_back(f[3].substr(1));
        }
        line = next;
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

kvStep ListGroups(kvRunSession& s, const std::string& wildmat, std::vector<std::string>& names) {
    s.ctx.Show(kvStatusKind::Progress, "SEARCH: Listing the newsgroups...");
    kvBuffer list;
    if (!list.Allocate(kGroupListSize)) {
        s.QuitAndCloseNow();
        return s.Fail("ERROR: Low memory");
    }
    int form = 0; // LIST ACTIVE wildmat, LIST ACTIVE, LIST
    for (;;) {
        if (!SendListCommand(s.conn, form, wildmat)) {
            if (form == 0) { // too long for one command line
                ++form;
                continue;
            }
            s.QuitAndCloseNow();
            return s.Fail("ERROR: Newsgroup list refused by server");
        }
        long n = ReceiveMultiline(s.conn, list, 215, kvResponseMode::HeaderList);
        if (n <= 0) {
            s.Close();
            return s.FailReceive(n);
        }
        int code = ReplyCode(list.data.get());
        kvSecured secured = s.Secure(code, list);
        if (secured == kvSecured::Failed) return kvStep::Failed;
        if (secured == kvSecured::SendAgain) continue;
        if (code == 215) break;
        if (form < 2 && (code == 500 || code == 501 || code == 503)) {
            ++form;
            continue;
        }
        s.QuitAndCloseNow();
        return s.Fail("ERROR: Newsgroup list refused by server");
    }
    names = ReadActiveList(list.data.get(), list.length, wildmat);
    if (list.Room() < kGroupListFull)
        s.ctx.Show(kvStatusKind::Warning,
                   "WARNING: The newsgroup list is too long; only the groups in its first %d MB "
                   "are searched",
                   static_cast<int>(kGroupListSize >> 20));
    return kvStep::Continue;
}
