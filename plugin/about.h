#pragma once

// Shows the About box and returns once it is closed.
void showAbout();
