#pragma once
#include "pchost/paint/pixels.h"

// What nimbrel-pixels.so gives nimbrel-host: its painters, found with one
// dlsym. The module takes the scene, the session and the key legend from
// the host that loads it. Its functions throw as those of pixels.h and
// window.h do.
namespace pchost {

struct PixelFunctions {
    Picture (*paintScreen)();
    void (*writeScreenPng)(const std::string& file);
    // Open and close the desktop window, as WindowFrontEnd's constructor and
    // destructor do; one window at a time.
    void (*openWindow)();
    void (*closeWindow)();
};

// The name of the module's entry point, an extern "C" function taking
// nothing and returning a const PixelFunctions*.
inline constexpr char pixelFunctionsEntry[] = "nimbrel_pixel_functions";

} // namespace pchost
