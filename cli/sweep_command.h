// korvex-cli search over a list of groups or a wildmat: each group searched
// in turn on one connection (sweep_run.h), its results saved as GROUP.kvx in
// the --save directory, one summary line per group on stdout, then a totals
// line.
#pragma once

#include "cli_options.h"
#include "progress_printer.h"
#include "search_context.h"

#include <string>

// The results file of a group in the save directory, or empty when the group
// name cannot be a file name there (empty, led by '.', or holding a path
// separator, ':' or a control character).
std::string SweepFileName(const std::string& directory, const std::string& group);

// Runs the sweep the options ask for. Exit status: 0 when articles were found
// in any group and every file was written; 1 when the sweep went through
// without articles; 2 when it could not start (connect, login, group list),
// ended early without articles, every group selected failed, or a file could
// not be written.
int RunSweepCommand(const kvCliOptions& options, kvSearchContext& context,
                    kvProgressPrinter& printer);
