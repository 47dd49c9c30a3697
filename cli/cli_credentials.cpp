#include "cli_credentials.h"

#include "console.h"
#include "netrc_file.h"

#include <cstdio>
#include <cstdlib>

namespace {

// Asks for the password on the terminal, without echo.
bool PromptPassword(const std::string& user, const std::string& host, std::string& password) {
    std::fprintf(stderr, "Password for %s at %s: ", user.c_str(), host.c_str());
    std::fflush(stderr);
    bool ok = ReadHiddenLine(password);
    std::fputc('\n', stderr);
    return ok;
}

} // namespace

kvCredentialSource MakeCliCredentialSource(const kvCliOptions& options) {
    std::string user = options.user;
    bool named = !options.netrcFile.empty();
    std::string netrc = named ? options.netrcFile : DefaultNetrcPath();
    return [user, named, netrc](const std::string& host, kvCredentials& out, std::string& problem) {
        if (!user.empty()) {
            if (const char* env = std::getenv("KORVEX_PASSWORD")) {
                out.user = user;
                out.password = env;
                return kvCredentialAnswer::Given;
            }
        }
        kvCredentials entry;
        kvNetrcStatus status =
            netrc.empty() ? kvNetrcStatus::Missing : ReadNetrcFile(netrc, host, entry);
        if (status == kvNetrcStatus::Unsafe || status == kvNetrcStatus::Unreadable ||
            status == kvNetrcStatus::Untrusted || (named && status == kvNetrcStatus::Missing)) {
            problem = NetrcRefusal(status, netrc);
            return kvCredentialAnswer::Refused;
        }
        if (user.empty()) {
            if (status != kvNetrcStatus::Found) return kvCredentialAnswer::None;
            out = entry;
            return kvCredentialAnswer::Given;
        }
        out.user = user;
        if (status == kvNetrcStatus::Found && entry.user == user) {
            out.password = entry.password;
            return kvCredentialAnswer::Given;
        }
        if (IsTerminal(stdin) && PromptPassword(user, host, out.password))
            return kvCredentialAnswer::Given;
        problem = "No password for " + user + ": set KORVEX_PASSWORD or run at a terminal";
        return kvCredentialAnswer::Refused;
    };
}
