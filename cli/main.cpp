// korvex-cli: runs one search, or shows or exports a saved results file, from the command line.
#include "atomic_file.h"
#include "cli_options.h"
#include "commands.h"
#include "console.h"
#include "credentials.h"
#include "version.h"

#include <cstdio>

int main(int argc, char** argv) {
    // A password may come from a netrc file, the environment or the terminal.
    KeepSecretsOutOfDumps();
    PrepareConsole();
    kvCliOptions options;
    std::string error = ParseCliOptions(argc, argv, options);
    if (!error.empty()) {
        std::fprintf(stderr, "korvex-cli: %s\n%s", error.c_str(), KV_CLI_USAGE);
        return 64;
    }
    // An interrupted save must not leave its temporary file behind.
    RemoveTemporariesOnSignals();
    switch (options.command) {
    case kvCliCommand::Search:
        return RunSearchCommand(options);
    case kvCliCommand::Show:
        return RunShowCommand(options);
    case kvCliCommand::Export:
        return RunExportCommand(options);
    case kvCliCommand::Version:
        std::printf("%s\n", KorvexVersionLine());
        return 0;
    default:
        std::fputs(KV_CLI_USAGE, stdout);
        return 0;
    }
}
