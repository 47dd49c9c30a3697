#include "credentials.h"

void WipeBytes(void* bytes, std::size_t length) {
    volatile unsigned char* p = static_cast<volatile unsigned char*>(bytes);
    while (length-- > 0)
        *p++ = 0;
}

void kvCredentials::Clear() {
    // Wipe the whole capacity: a shorter password may have overwritten a longer one.
    password.resize(password.capacity());
    WipeBytes(&password[0], password.size());
    password.clear();
    user.clear();
}
