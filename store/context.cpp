#include "store/context.h"

// Constructed when the program or the plug-in loads; they keep their values
// from one call of plugin_exec to the next.
eString color;
eString mpoint;
