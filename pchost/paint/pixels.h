#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The box's screen in pixels. nimbrel-host has these from nimbrel-pixels.so,
// loaded on first use; a host built without pixels (NIMBREL_PIXELS off, or
// no Cairo), or whose module is missing, has them too, but they throw
// std::runtime_error saying so.
namespace pchost {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0xRRGGBB, row after row from the top
};

// The screen as it is now: 720 x 576 pixels.
Picture paintScreen();

// Writes the screen as it is now to FILE as a PNG picture. Throws
// std::runtime_error naming FILE when it cannot.
void writeScreenPng(const std::string& file);

} // namespace pchost
