#pragma once

// While one lives, Ctrl-C (SIGINT) is taken as a request to stop: the
// installation asks interrupted() between its steps.
class InterruptWatch {
public:
    InterruptWatch();
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    static bool interrupted();
};
