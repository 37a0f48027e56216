#pragma once

struct Routes;
class Access;
class Jobs;
class SlotSizes;

// The page and the API: every request needs the password, every changing
// one the page's token from the page's own site. Each handler calls one
// procedure of the core, as a command of nimbrel does.
void addRoutes(Routes& routes, Access& access, Jobs& jobs, SlotSizes& sizes);
