#include "matches.h"

#include <cstddef>
#include <new>

bool kvMatches::Reserve(int size) {
    numbers.reset(new (std::nothrow) long[static_cast<std::size_t>(size)]);
    capacity = numbers ? size : 0;
    next = 0;
    total = 0;
    return numbers != nullptr;
}

void kvMatches::Add(long number) {
    numbers[next] = number;
    next = next + 1 == capacity ? 0 : next + 1;
    ++total;
}

long kvMatches::At(int i) const {
    // Once the ring is full, the oldest kept number sits where the next goes.
    int start = total > capacity ? next : 0;
    int at = start + i;
    return numbers[at >= capacity ? at - capacity : at];
}
