// What a status message of a search tells, decided where the message is made:
// a front end keeps results, warnings and errors, and may skip a progress
// message that a newer one has overtaken.
#pragma once

enum class kvStatusKind {
    Progress, // how far the run has come; the next message makes it stale
    Result,   // what the run found (or that it found nothing)
    Warning,  // the run was cut short but keeps what it has
    Error,    // the run failed, or lost what it was doing
};
