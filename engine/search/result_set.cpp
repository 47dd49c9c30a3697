#include "result_set.h"

#include <cassert>
#include <cstring>
#include <utility>

namespace {

// The subject's grouping key: one leading reply prefix ("Re: " in any case) skipped.
const char* SubjectKey(const kvArticle& a) {
    const char* s = a.subject;
    if ((s[0] == 'R' || s[0] == 'r') && (s[1] == 'E' || s[1] == 'e') && s[2] == ':' && s[3] == ' ')
        return s + 4;
    return s;
}

} // namespace

kvResultSet::kvResultSet(kvResultSet&& other) noexcept
    : slots(std::move(other.slots)), count(other.count) {
    other.count = 0;
}

kvResultSet& kvResultSet::operator=(kvResultSet&& other) noexcept {
    if (this != &other) {
        Clear();
        slots = std::move(other.slots);
        count = other.count;
        other.count = 0;
    }
    return *this;
}

bool kvResultSet::Append(std::unique_ptr<kvArticle> article) {
    if (!article || count >= KV_MAX_ARTICLES) return false;
    article->next = nullptr;
    if (count > 0) slots[count - 1]->next = article.get();
    slots[count++] = std::move(article);
    return true;
}

bool kvResultSet::RemoveAt(int index) {
    if (index < 0 || index >= count) return false;
    slots[index].reset();
    for (int i = index; i < count - 1; ++i)
        slots[i] = std::move(slots[i + 1]);
    --count;
    Relink();
    return true;
}

void kvResultSet::SortBySubject() {
    for (int i = 0; i < count - 2; ++i) {
        const char* key = SubjectKey(*slots[i]);
        for (int j = i + 1; j < count; ++j) {
            if (std::strcmp(SubjectKey(*slots[j]), key) != 0) continue;
            if (j != i + 1) std::swap(slots[i + 1], slots[j]);
            break;
        }
    }
    Relink();
}

void kvResultSet::Clear() {
    for (int i = 0; i < count; ++i)
        slots[i].reset();
    count = 0;
}

const kvArticle& kvResultSet::At(int i) const {
    assert(i >= 0 && i < count);
    return *slots[i];
}

void kvResultSet::Relink() {
    for (int i = 0; i < count; ++i)
        slots[i]->next = i + 1 < count ? slots[i + 1].get() : nullptr;
}
