#include "sweep_command.h"

#include "atomic_file.h"
#include "file_system.h"
#include "results_file.h"
#include "search_summary.h"
#include "sweep_run.h"
#include "text_export.h"
#include "utf8_text.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace {

// A group with articles, kept for the report and the reply list.
struct kvFoundGroup {
    std::unique_ptr<kvSearchSummary> summary;
    std::unique_ptr<kvResultSet> results;
};

// The save directory as it is, or created when missing; false with a message otherwise.
bool PrepareDirectory(const std::string& directory) {
    kvFileKind kind = KindOf(directory);
    if (kind == kvFileKind::Directory) return true;
    if (kind == kvFileKind::Missing && MakeDirectory(directory)) return true;
    std::fprintf(stderr, "korvex-cli: %s is not a directory that can be made\n",
                 ReadableText(directory.c_str()).c_str());
    std::fprintf(stderr, "Error saving search results. (%s)\n", directory.c_str());
    return false;
}

// Saves one group's results; prints the group's line; false when a file failed.
bool SaveGroup(const kvCliOptions& o, const std::string& group, const kvSearchOutcome& run) {
    std::string readable = ReadableText(group.c_str());
    std::printf("%s: %d articles found", readable.c_str(), run.count);
    if (o.saveFile.empty()) {
        std::printf("\n");
        return true;
    }
    std::string path = SweepFileName(o.saveFile, group);
    if (path.empty()) {
        std::printf("; not saved: the group name cannot be a file name\n");
        std::fflush(stdout);
        std::fprintf(stderr, "Error saving search results. (%s)\n", readable.c_str());
        return false;
    }
    if (!SaveResultsFile(path.c_str(), *run.summary, *run.results)) {
        std::printf("; not saved\n");
        std::fflush(stdout);
        std::string why = TakeSaveProblem();
        if (!why.empty())
            std::fprintf(stderr, "korvex-cli: %s\n", ReadableText(why.c_str()).c_str());
        std::fprintf(stderr, "Error saving search results. (%s)\n", path.c_str());
        return false;
    }
    std::printf("; saved to %s\n", ReadableText(path.c_str()).c_str());
    return true;
}

// The report and the reply list over every group with articles.
bool WriteSweepOutputs(const kvCliOptions& o, const std::vector<kvFoundGroup>& found) {
    if (found.empty()) return true;
    std::vector<kvReportPart> parts;
    std::vector<const kvResultSet*> sets;
    for (const kvFoundGroup& g : found) {
        parts.push_back({g.summary.get(), g.results.get()});
        sets.push_back(g.results.get());
    }
    bool ok = true;
    if (!o.reportFile.empty() && !SaveSweepReport(o.reportFile.c_str(), parts)) {
        std::fprintf(stderr, "Error saving articles. (%s)\n", o.reportFile.c_str());
        ok = false;
    }
    if (!o.replyListFile.empty() && !WriteSweepReplyList(o.replyListFile.c_str(), sets)) {
        std::fprintf(stderr, "Error writing reply list. (%s)\n", o.replyListFile.c_str());
        ok = false;
    }
    return ok;
}

} // namespace

std::string SweepFileName(const std::string& directory, const std::string& group) {
    if (group.empty() || group[0] == '.') return "";
    for (char c : group)
        if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < ' ' || c == '\x7f')
            return "";
    std::string path = directory;
    if (!path.empty() && !IsPathSeparator(path.back())) path += PathSeparator();
    return path + group + ".kvx";
}

int RunSweepCommand(const kvCliOptions& o, kvSearchContext& context, kvProgressPrinter& printer) {
    if (!o.saveFile.empty() && !PrepareDirectory(o.saveFile)) return 2;
    const bool keep = !o.reportFile.empty() || !o.replyListFile.empty();
    std::vector<kvFoundGroup> found;
    bool filesOk = true;
    auto groupDone = [&](const std::string& group, kvSearchOutcome& run) {
        if (run.end != kvSearchEnd::Found) {
            printer.Final(run.status.c_str());
            std::printf("%s: %s\n", ReadableText(group.c_str()).c_str(),
                        ReadableText(run.status.c_str()).c_str());
            std::fflush(stdout);
            return;
        }
        if (!SaveGroup(o, group, run)) filesOk = false;
        std::fflush(stdout);
        if (keep) found.push_back({std::move(run.summary), std::move(run.results)});
    };
    kvSweepOutcome sweep = RunSweep(o.request, o.request.newsgroup, context, groupDone);
    printer.Final(sweep.status.c_str());
    if (!sweep.ran) return 2;
    if (!WriteSweepOutputs(o, found)) filesOk = false;
    std::printf("%d articles found in %d of %d groups on %s", sweep.articles, sweep.groupsFound,
                sweep.groups, ReadableText(o.request.server).c_str());
    if (!o.saveFile.empty() && sweep.groupsFound > 0)
        std::printf("; saved to %s", ReadableText(o.saveFile.c_str()).c_str());
    std::printf("\n");
    if (!filesOk) return 2;
    if (sweep.groupsFound > 0) return 0;
    bool allFailed = sweep.groups > 0 && sweep.failed == sweep.groups;
    return sweep.notSearched > 0 || allFailed ? 2 : 1;
}
