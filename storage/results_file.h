// The results file (.kvx): one finished search, its summary and every article
// with its body, kept so that it can be shown again without the news server.
//
// Called on the GUI thread (or by the command line) while no search runs, so
// the set does not change underneath. The caller owns the summary and the set;
// LoadResultsFile allocates the records and their bodies and hands them to the
// set, which owns them from then on.
//
// Layout, every line ended by CR LF: ".kvx file -- do not edit!"; the summary's
// pattern, header, server, newsgroup, searchDate, groupCount and foundCount;
// then per article its ten header fields in record order, an empty line, the
// body with each LF written as CR LF, a line end, a line holding the byte 0x00,
// and an empty line when another article follows. The file ends right after
// the last 0x00 line.
#pragma once

#include "records.h"
#include "result_set.h"

// Writes the summary and the chain of articles from set.First(). True once
// every byte is written and the file is in place, false otherwise; an existing
// file is then left as it was.
bool SaveResultsFile(const char* path, const kvSearchSummary& summary, const kvResultSet& set);

// Reads a results file into the summary's seven stored fields and appends its
// articles to the set, which must be empty, in file order. Returns n (at most
// 1024), the set's size, 0 when the file holds no complete article, or -1 when
// it cannot be read or does not begin with ".kvx" (the summary then keeps what
// it held) or memory runs short (the set is cleared). Does not set sourceFile
// or loadedFromFile.
//
// Lines of any length are read; a field keeps as much as it holds. Summary or
// header lines missing at the end of the file hold "<none>"; an article whose
// ten header lines are not all there is not counted. A body keeps whole lines
// until its collected length passes 65023 bytes; later lines up to its 0x00
// line are dropped. A file that ends inside a body keeps what was collected.
int LoadResultsFile(const char* path, kvSearchSummary& summary, kvResultSet& set);
