#include "version.h"

#include "korvex_build_version.h"

const char* KorvexBuildVersion() {
    return KORVEX_BUILD_VERSION;
}

const char* KorvexVersionLine() {
    return "Korvex 2.000 (build " KORVEX_BUILD_VERSION ")";
}
