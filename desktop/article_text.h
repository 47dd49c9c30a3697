// An article as the article windows show it: an empty line, the header lines,
// an empty line and, when there is one, an empty line and the body.
//
// No wx, any thread: the text is the article as a reader reads it, valid UTF-8
// with LF line ends: header fields with their encoded words decoded, control
// characters made visible.
#pragma once
#include "records.h"

#include <string>

// From, Subject, Date, Newsgroups and Organization always appear; Keywords,
// Summary, Sender and Reply-To only when the article carried them. The
// message id and the line count are not shown.
std::string ArticleText(const kvArticle& article);
