// The result set as an mbox file (the mboxrd form) for mail clients: one
// message per article along the chain from set.First(), rebuilt from what the
// results file keeps, LF line ends.
//
// Each message starts with "From ADDRESS DATE": the author's address alone
// (MAILER-DAEMON when the From field holds none that is plain ASCII) and the
// Date field in UTC in the asctime form ("Thu Jan  1 00:00:00 1970" when it
// cannot be read). Then the header fields the article carries, in the order
// the program shows them (From, Subject, Date, Newsgroups, Organization,
// Message-ID, Keywords, Summary, Sender, Reply-To): a field of printable ASCII
// as stored, its MIME encoded words kept for the mail client to decode; any
// other field decoded, read by the raw-byte rule (UTF-8 when valid, else
// Latin-1) and written as UTF-8 base64 encoded words. Then "MIME-Version: 1.0",
// "Content-Type: text/plain; charset=utf-8", "Content-Transfer-Encoding: 8bit"
// and "X-Korvex-Cut: yes" or "no" (yes when the article was cut for its
// length), an empty line, and the stored body as UTF-8 by the same rule,
// without CR bytes, each line matching ">*From " given one more ">", ended by
// a line end and followed by an empty line.
//
// Called on the GUI thread or by the command line while no search runs. True
// when the whole file was written and put in place; otherwise false and an
// existing file of that name is unchanged.
#pragma once

#include "records.h"
#include "result_set.h"

bool SaveResultsMbox(const char* path, const kvResultSet& set);
