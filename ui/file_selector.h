// kvFileSelector: what one of the controller's file selectors asks for.
#pragma once

struct kvFileSelector {
    const char* title;
    const char* wildcard;
    bool save; // save (asks before overwriting) or open
    bool proposeName;
};
