// A result set as every fuzz target that fills one must leave it: the first
// `filled` slots hold articles chained in slot order, the rest are empty, and
// every field ends within its width. Returns nothing; a violation aborts.
#pragma once

#include "fuzz_check.h"
#include "records.h"

#include <cstring>

inline void CheckResultSlots(const kvResultSet& set, int filled) {
    for (int i = 0; i < KV_MAX_ARTICLES; ++i) {
        const kvArticle* a = set.slots[i].get();
        FUZZ_CHECK((a != nullptr) == (i < filled));
        if (a == nullptr) continue;
        FUZZ_CHECK(a->next == (i + 1 < filled ? set.slots[i + 1].get() : nullptr));
        for (int f = 0; f < KV_ARTICLE_FIELD_COUNT; ++f)
            FUZZ_CHECK(strnlen(ArticleField(*a, f), KV_FIELD_SIZE) < KV_FIELD_SIZE);
    }
}
