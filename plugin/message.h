#pragma once
#include "host/estring.h"
#include "store/outcome.h"

// Shows a modal message box with TEXT, TITLE and the box flags (1, or 129 for
// a refusal) and returns once the user has closed it.
void showMessage(const eString& text, const eString& title, int flags);

// Shows OUTCOME's message box.
void showOutcome(const Outcome& outcome);
