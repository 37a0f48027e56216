#pragma once
#include <functional>
#include <vector>

// What runWatched (store/shell.h) takes and answers.

// A command finds the descriptors handed to it (CommandOptions::handed) as
// handedDescriptor, handedDescriptor + 1, ..., whatever their numbers in the
// caller: the shell names one digit after >& and <&.
constexpr int handedDescriptor = 4;

// What a command may be given and how it is watched; every member may stay
// at its default.
struct CommandOptions {
    std::function<void()> tick;  // called about every half second while it runs
    std::function<bool()> stop;  // asked at each tick: true ends the command
    std::vector<int> handed;     // at most five, see handedDescriptor
    int limitMs = 0;             // ended once it has run this long; 0: no limit
};

enum class CommandEnd { Succeeded, Failed, Stopped, TimedOut };
