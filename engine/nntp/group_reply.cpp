// Reading and checking the numbers of a GROUP reply.
#include "group_reply.h"

#include <cstring>

bool DecodeArticleNumber(const char* at, long& number) {
    bool negative = *at == '-';
    if (*at == '-' || *at == '+') ++at;
    long long value = 0;
    for (; *at >= '0' && *at <= '9'; ++at) {
        value = value * 10 + (*at - '0');
        if (value > 2147483647LL) return false;
    }
    if (negative && value != 0) return false;
    number = static_cast<long>(value);
    return true;
}

bool ParseGroupReply(const char* reply, long& count, long& first, long& last) {
    long* numbers[3] = {&count, &first, &last};
    const char* at = reply;
    for (long* number : numbers) {
        at = std::strchr(at, ' ');
        if (at == nullptr) return false;
        ++at;
        // A number, signed or not: a sign before anything else is no number.
        const char* digit = *at == '-' || *at == '+' ? at + 1 : at;
        if (!(*digit >= '0' && *digit <= '9')) return false;
        // Article numbers are 31-bit; larger ones would overflow the chunk arithmetic.
        if (!DecodeArticleNumber(at, *number)) return false;
    }
    return true;
}
