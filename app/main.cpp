// The desktop program's entry point: wx creates the one kvApp and runs it.
#include "app.h"

wxIMPLEMENT_APP(kvApp);
