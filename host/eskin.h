#pragma once
#include "host/estring.h"

// The active look of the host: named integer values such as "fontsize".
class eSkin {
public:
    static eSkin* getActive();

    // The value called NAME, or DEFAULT_VALUE when the skin has none.
    int queryValue(const eString& name, int defaultValue) const;
};

// The value of the first "KEY=" line of FILE without its line end;
// empty for a missing file or key.
eString getInfo(const char* file, const char* key);
