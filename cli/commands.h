// The commands of korvex-cli. Each returns the process exit status:
// 0 articles found or loaded, 1 nothing found, 2 failure.
#pragma once

#include "cli_options.h"

int RunSearchCommand(const kvCliOptions& options);
int RunShowCommand(const kvCliOptions& options);
// Writes the CSV, JSON Lines and mbox exports of a results file.
int RunExportCommand(const kvCliOptions& options);
