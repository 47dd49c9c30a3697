#include "credentials.h"

#ifdef __linux__
#include <sys/prctl.h>
#include <sys/resource.h>
#endif

bool KeepSecretsOutOfDumps() {
#ifdef __linux__
    struct rlimit none {};
    bool noCore = setrlimit(RLIMIT_CORE, &none) == 0;
    return prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0 && noCore;
#else
    return true;
#endif
}

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
