// kvResultSet: the articles of one search in display order, at most
// KV_MAX_ARTICLES of them. The set owns its records and keeps its own
// invariant: slots 0..Size()-1 hold a record each, chained by `next` in slot
// order, the last record's `next` null. Records enter only through Append and
// leave through RemoveAt or Clear; readers get const access by index, by
// iteration, or along the chain from First().
//
// No locks: a set is written by exactly one thread at a time (the search
// worker while a search runs, the GUI thread otherwise) and handed over whole.
#pragma once

#include "records.h"

#include <array>
#include <cstddef>
#include <iterator>
#include <memory>

class kvResultSet {
  public:
    // Walks slots 0..Size()-1 in order, giving each record as const kvArticle&.
    class Iterator {
      public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = kvArticle;
        using difference_type = std::ptrdiff_t;
        using pointer = const kvArticle*;
        using reference = const kvArticle&;

        explicit Iterator(const std::unique_ptr<kvArticle>* slot) : at(slot) {}
        reference operator*() const { return **at; }
        pointer operator->() const { return at->get(); }
        Iterator& operator++() {
            ++at;
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            ++at;
            return before;
        }
        bool operator==(const Iterator& other) const { return at == other.at; }
        bool operator!=(const Iterator& other) const { return at != other.at; }

      private:
        const std::unique_ptr<kvArticle>* at;
    };

    kvResultSet() = default;
    kvResultSet(const kvResultSet&) = delete;
    kvResultSet& operator=(const kvResultSet&) = delete;
    // The records move along; the other set is left empty.
    kvResultSet(kvResultSet&& other) noexcept;
    kvResultSet& operator=(kvResultSet&& other) noexcept;

    // Puts the record after the last one. False, and the set unchanged, for a
    // null record or when the set already holds KV_MAX_ARTICLES.
    bool Append(std::unique_ptr<kvArticle> article);
    // Releases the record at index; the ones after it move down a slot. False,
    // and the set unchanged, when index is not below Size().
    bool RemoveAt(int index);
    // Brings records with equal subjects (one leading "Re: " ignored, any case
    // of "re") next to each other: each record in turn pulls the first later
    // record of its subject up behind itself.
    void SortBySubject();
    // Releases every record.
    void Clear();

    int Size() const { return count; }
    // The record in slot i; i must be below Size().
    const kvArticle& At(int i) const;
    // The first record, or null for an empty set.
    const kvArticle* First() const { return slots[0].get(); }

    Iterator begin() const { return Iterator(slots.data()); }
    Iterator end() const { return Iterator(slots.data() + count); }

  private:
    // Chains slots 0..count-1 in slot order.
    void Relink();

    std::array<std::unique_ptr<kvArticle>, KV_MAX_ARTICLES> slots;
    int count = 0;
};
