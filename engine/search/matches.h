// The matches of a header scan, kept in flat memory however many there are.
#pragma once

#include <memory>

// The article numbers whose header matched. Only the last `Capacity()`
// collected are kept, in a ring, so a scan of a whole group holds flat memory;
// the fetch takes them from the last collected back, and never needs more than
// the article limit plus the articles refused on the way. `Total()` counts
// every match, kept or not.
class kvMatches {
  public:
    // Makes room for `capacity` numbers and forgets what was collected; false
    // when memory is short.
    bool Reserve(int capacity);
    void Add(long number);
    long long Total() const { return total; }
    int Capacity() const { return capacity; }
    // The numbers kept: min(Total(), Capacity()).
    int Kept() const { return total < capacity ? static_cast<int>(total) : capacity; }
    // The i-th kept number in the order collected, 0 <= i < Kept(): 0 is the
    // oldest still kept, Kept() - 1 the last collected.
    long At(int i) const;

  private:
    std::unique_ptr<long[]> numbers;
    int capacity = 0;
    int next = 0; // where the next number goes
    long long total = 0;
};
