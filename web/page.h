#pragma once

// The one page: HTML, CSS and script in one text, nothing fetched elsewhere.
extern const char pageText[];
