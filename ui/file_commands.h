// The commands that read or write files: saving and loading results, the
// report of all articles, one article and the reply list, with their file
// selectors. Every selector starts from LastPath, and the path the user
// confirms becomes LastPath before anything is read or written.
//
// GUI thread only, called by the main frame's command handler after its status
// refresh and state checks.
#pragma once
#include <string>

// The directory and file-name parts of a path ("" when there is none).
std::string DirectoryOf(const std::string& path);
std::string FileNameOf(const std::string& path);

void CommandSaveResults();
void CommandLoadResults();
void CommandSaveAllArticles();
void CommandSaveArticle();
void CommandReplyList();

enum class kvSaveOutcome { Cancelled, Failed, Saved };
// Lets the user choose a results file and writes the held results to it.
kvSaveOutcome SaveResultsInteractively();

// Asks "Search results are not saved. Save now?"; true when the caller may go
// on (saved, or the user chose not to save), false when it must stop.
bool AskToSaveResults();
