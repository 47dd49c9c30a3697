// Where korvex-cli finds a login when the server asks for one: --user with the
// password from KORVEX_PASSWORD, from the netrc entry of that user, or typed
// at the terminal without echo; without --user, the netrc entry for the host
// (~/.netrc, or the --netrc-file). Nothing is read before the server asks.
#pragma once

#include "cli_options.h"
#include "credentials.h"

kvCredentialSource MakeCliCredentialSource(const kvCliOptions& options);
