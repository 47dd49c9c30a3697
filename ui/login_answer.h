// What the login box answers: the login typed, and whether to remember it.
#pragma once
#include "credentials.h"

struct kvLoginAnswer {
    kvCredentials login;
    bool remember = false; // write the login to the netrc file (mode 0600)
};
