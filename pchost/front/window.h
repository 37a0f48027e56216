#pragma once

// The desktop window front end of nimbrel-host: the screen painted in a
// window of its own with a key legend under it, the keyboard as in the
// terminal. Closing the window presses exit until the plug-in returns.
namespace pchost {

class WindowFrontEnd {
public:
    // Opens the window and makes it the session's key source. Throws
    // std::runtime_error when no window can be opened (no display, or a
    // host without pixels).
    WindowFrontEnd();
    // Closes the window; the session's key source then only presses exit.
    ~WindowFrontEnd();
    WindowFrontEnd(const WindowFrontEnd&) = delete;
    WindowFrontEnd& operator=(const WindowFrontEnd&) = delete;
};

} // namespace pchost
