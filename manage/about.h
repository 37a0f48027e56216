#pragma once

// The About box's text: version and release date, then the authors'
// addresses, one line each.
extern const char aboutText[];
