#include "commands.h"

#include "atomic_file.h"
#include "cli_credentials.h"
#include "console.h"
#include "csv_export.h"
#include "jsonl_export.h"
#include "mbox_export.h"
#include "mime_header.h"
#include "path_parts.h"
#include "progress_printer.h"
#include "results_file.h"
#include "search_run.h"
#include "search_summary.h"
#include "sweep_command.h"
#include "text_export.h"
#include "utf8_text.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

// Why the last save failed, on a line of its own, when it was a refused link.
void SaySaveProblem() {
    std::string why = TakeSaveProblem();
    if (!why.empty()) std::fprintf(stderr, "korvex-cli: %s\n", ReadableText(why.c_str()).c_str());
}

// Says that the export to path failed; returns false.
bool ExportFailed(const std::string& path) {
    SaySaveProblem();
    std::fprintf(stderr, "Error exporting search results. (%s)\n", path.c_str());
    return false;
}

// Writes the requested CSV, JSON Lines and mbox exports; false after the first failure.
bool WriteExports(const kvCliOptions& o, const kvSearchSummary& summary, const kvResultSet& set) {
    if (!o.csvFile.empty() && !SaveResultsCsv(o.csvFile.c_str(), summary, set))
        return ExportFailed(o.csvFile);
    if (!o.jsonlFile.empty() && !SaveResultsJsonLines(o.jsonlFile.c_str(), summary, set, !o.noBody))
        return ExportFailed(o.jsonlFile);
    if (!o.mboxFile.empty() && !SaveResultsMbox(o.mboxFile.c_str(), set))
        return ExportFailed(o.mboxFile);
    return true;
}

// Writes the requested outputs of a held result set; false after the first failure.
bool WriteOutputs(const kvCliOptions& o, const kvSearchSummary& summary, const kvResultSet& set) {
    if (!o.saveFile.empty() && !SaveResultsFile(o.saveFile.c_str(), summary, set)) {
        SaySaveProblem();
        std::fprintf(stderr, "Error saving search results. (%s)\n", o.saveFile.c_str());
        return false;
    }
    if (!o.reportFile.empty() && !SaveArticlesReport(o.reportFile.c_str(), summary, set)) {
        SaySaveProblem();
        std::fprintf(stderr, "Error saving articles. (%s)\n", o.reportFile.c_str());
        return false;
    }
    if (!o.replyListFile.empty() && !WriteReplyList(o.replyListFile.c_str(), set)) {
        SaySaveProblem();
        std::fprintf(stderr, "Error writing reply list. (%s)\n", o.replyListFile.c_str());
        return false;
    }
    return WriteExports(o, summary, set);
}

// Loads the results file named on the command line into the summary and the
// set, or says why it cannot and returns false.
bool LoadInputFile(const kvCliOptions& o, kvSearchSummary& summary, kvResultSet& set) {
    summary.loadedFromFile = true;
    CopyField(summary.sourceFile, FileNameOf(o.inputFile).c_str());
    int n = LoadResultsFile(o.inputFile.c_str(), summary, set);
    if (n <= 0 || set.First() == nullptr) {
        std::fprintf(stderr, "Error loading search results. (%s)\n", o.inputFile.c_str());
        return false;
    }
    return true;
}

} // namespace

int RunSearchCommand(const kvCliOptions& o) {
    auto context = std::make_unique<kvSearchContext>();
    kvProgressPrinter printer(stderr, IsTerminal(stderr), o.quiet);
    context->report = [&printer](const kvStatus& status) { printer(status); };
    context->credentials = MakeCliCredentialSource(o);
    // Undocumented: lower bounds on one response, so that tests need not wait
    // ten minutes or receive 64 MiB.
    if (const char* bytes = std::getenv("KORVEX_MAX_RESPONSE_BYTES"))
        context->maxResponseBytes = static_cast<std::size_t>(std::strtoull(bytes, nullptr, 10));
    if (const char* seconds = std::getenv("KORVEX_MAX_RESPONSE_SECONDS"))
        context->maxResponseSeconds = std::atoi(seconds);

    if (o.sweep) return RunSweepCommand(o, *context, printer);
    kvSearchOutcome run = RunSearchRequest(o.request, *context);
    if (run.end != kvSearchEnd::Found) {
        // The reason was written without being shown: it is always the last line.
        printer.Final(run.status.c_str());
        return run.end == kvSearchEnd::NothingFound ? 1 : 2;
    }

    if (!WriteOutputs(o, *run.summary, *run.results)) return 2;
    std::printf("%d articles found in %s on %s", run.count,
                ReadableText(o.request.newsgroup).c_str(), ReadableText(o.request.server).c_str());
    // More headers matched than articles came (a limit, refusals): the scan's count too.
    if (run.summary->matchedTotal > run.count)
        std::printf(" (%lld matched)", run.summary->matchedTotal);
    if (!o.saveFile.empty()) std::printf("; saved to %s", ReadableText(o.saveFile.c_str()).c_str());
    std::printf("\n");
    return 0;
}

int RunShowCommand(const kvCliOptions& o) {
    auto set = std::make_unique<kvResultSet>();
    kvSearchSummary summary;
    if (!LoadInputFile(o, summary, *set)) return 2;
    std::printf("%s\n\n", SearchInfoText(summary).c_str());
    for (int i = 0; i < set->Size(); ++i)
        std::printf("%d\t%s\t%s\n", i + 1, ReadableHeader(set->At(i).from).c_str(),
                    ReadableHeader(set->At(i).subject).c_str());
    return WriteOutputs(o, summary, *set) ? 0 : 2;
}

int RunExportCommand(const kvCliOptions& o) {
    auto set = std::make_unique<kvResultSet>();
    kvSearchSummary summary;
    if (!LoadInputFile(o, summary, *set)) return 2;
    return WriteExports(o, summary, *set) ? 0 : 2;
}
