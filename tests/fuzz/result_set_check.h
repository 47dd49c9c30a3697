// A result set as every fuzz target that fills one must leave it: it holds
// `filled` articles, chained in slot order and visited in that order by
// iteration, and every field ends within its width. Returns nothing; a
// violation aborts.
#pragma once

#include "fuzz_check.h"
#include "records.h"
#include "result_set.h"

#include <cstring>

inline void CheckResultSlots(const kvResultSet& set, int filled) {
    FUZZ_CHECK(set.Size() == filled);
    FUZZ_CHECK(set.First() == (filled > 0 ? &set.At(0) : nullptr));
    int i = 0;
    for (const kvArticle& article : set) {
        const kvArticle* a = &article;
        FUZZ_CHECK(i < filled && a == &set.At(i));
        FUZZ_CHECK(a->next == (i + 1 < filled ? &set.At(i + 1) : nullptr));
        for (int f = 0; f < KV_ARTICLE_FIELD_COUNT; ++f)
            FUZZ_CHECK(strnlen(ArticleField(*a, f), KV_FIELD_SIZE) < KV_FIELD_SIZE);
        ++i;
    }
    FUZZ_CHECK(i == filled);
}
