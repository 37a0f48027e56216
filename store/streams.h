#pragma once

// While one lives, standard input, output and error are open: each that was
// closed is /dev/null until then. A host may run with them closed, and a
// file of ours that got one of their numbers would take a trace line,
// a message or a command's output meant for them.
class StandardStreams {
public:
    StandardStreams();
    ~StandardStreams();
    StandardStreams(const StandardStreams&) = delete;
    StandardStreams& operator=(const StandardStreams&) = delete;

private:
    bool opened[3] = {};
};
