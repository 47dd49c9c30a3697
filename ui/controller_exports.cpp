// The controller's File > Export results commands: the held results written
// as CSV, JSON Lines (with bodies) or mbox, each through a save selector that
// starts from LastPath and gives a name without an extension the export's.
#include "controller.h"

#include "csv_export.h"
#include "file_selector.h"
#include "jsonl_export.h"
#include "mbox_export.h"
#include "path_parts.h"

namespace {

bool WriteCsv(const char* path, const kvHeldSearch& held) {
    return SaveResultsCsv(path, *held.summary, *held.results);
}
bool WriteJsonLines(const char* path, const kvHeldSearch& held) {
    return SaveResultsJsonLines(path, *held.summary, *held.results, true);
}
bool WriteMbox(const char* path, const kvHeldSearch& held) {
    return SaveResultsMbox(path, *held.results);
}

constexpr kvFileSelector kCsv{"Export search results as CSV", "*.csv", true, false};
constexpr kvFileSelector kJsonLines{"Export search results as JSON Lines", "*.jsonl", true, false};
constexpr kvFileSelector kMbox{"Export search results as mbox", "*.mbox", true, false};

// The path, with the extension added when its file name has none.
std::string WithExtension(const std::string& path, const char* extension) {
    std::string name = FileNameOf(path);
    if (name.empty() || name.find('.') != std::string::npos) return path;
    return path + extension;
}

} // namespace

void kvController::ExportResults(const kvFileSelector& selector, const char* extension,
                                 ExportWriter write) {
    std::string chosen = SelectFile(selector);
    if (!chosen.empty() && model_.HoldsArticles() && model_.summary) {
        lastPath_ = WithExtension(chosen, extension);
        ShowStatus("Korvex: Exporting search results...");
        bool written = write(lastPath_.c_str(), model_);
        ShowStatus("Korvex: idle");
        if (!written) ShowNotice("Error exporting search results.");
    }
    view_.Focus();
}

void kvController::CommandExportCsv() {
    ExportResults(kCsv, ".csv", WriteCsv);
}
void kvController::CommandExportJsonLines() {
    ExportResults(kJsonLines, ".jsonl", WriteJsonLines);
}
void kvController::CommandExportMbox() {
    ExportResults(kMbox, ".mbox", WriteMbox);
}
