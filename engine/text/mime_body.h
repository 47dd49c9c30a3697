// Bodies as a reader reads them: the transfer encoding undone, text parts
// converted from their charset to UTF-8, and each part that is not text
// replaced by one line naming it (file name, type, size), never its bytes.
// multipart/alternative shows its first plain-text part; other multiparts
// show their text parts in order. Format=flowed text is left as it is.
#pragma once

#include "records.h"

#include <cstddef>
#include <string>

// The longest body a decoded article keeps (the results file reads back
// bodies well beyond this); a longer one is cut after a whole line and ends
// with the long-article warning.
constexpr std::size_t KV_DECODED_BODY_MAX = 61440;

// The long-article warning as it ends a stored body (LF line ends).
extern const char KV_LONG_ARTICLE_TAIL[];

// headerBlock: the article's headers (CR LF or LF line ends). body: LF line
// ends; when it ends with the long-article warning, the article was cut: it is
// decoded as far as it is complete and keeps the warning. False when the
// article declares no MIME content (no Content-Type and no
// Content-Transfer-Encoding): its body is read as it came.
bool DecodeMimeBody(const char* headerBlock, const char* body, std::size_t length,
                    std::string& out);

// The search run's step for a received article: replaces its body by the
// decoded text (no body when nothing readable is left). The body stays as it
// came when the article declares no MIME content or memory runs short.
void DecodeArticleBody(const char* headerBlock, kvArticle& article);
