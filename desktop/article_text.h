// An article as the article windows show it: an empty line, the header lines,
// an empty line and, when there is one, an empty line and the body.
//
// No wx, any thread: the text is the article's own bytes with LF line ends; the window
// decodes it for display.
#pragma once
#include "records.h"

#include <string>

// From, Subject, Date, Newsgroups and Organization always appear; Keywords,
// Summary, Sender and Reply-To only when the article carried them. The
// message id and the line count are not shown.
std::string ArticleText(const kvArticle& article);
