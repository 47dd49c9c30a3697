// The program's name and version as both programs print them.
#pragma once

// The build's own version: the project version, and the commit it was built
// from when known (for example "2.0.0+g1a2b3c4").
const char* KorvexBuildVersion();

// "Korvex 2.000 (build <KorvexBuildVersion()>)", without a line end.
const char* KorvexVersionLine();
