#pragma once

// The plug-in's entry point, called by the host on its GUI thread. Reads the
// mount point, runs the main menu modally and returns 0 when it is closed.
extern "C" int plugin_exec(void* context);
