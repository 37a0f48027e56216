#pragma once
#include "store/context.h"

// The skin's font size; the dialogs size their rows from it.
extern int fd;
