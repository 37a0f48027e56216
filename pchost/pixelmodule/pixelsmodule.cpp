// The entry point of nimbrel-pixels.so: the painters of pixels.cpp and
// window.cpp as one table for the host that loads it.
#include <optional>

#include "pchost/front/window.h"
#include "pchost/pixelmodule/pixelfunctions.h"

namespace {

std::optional<pchost::WindowFrontEnd> frontEnd;

const pchost::PixelFunctions functions = {
    pchost::paintScreen,
    pchost::writeScreenPng,
    [] { frontEnd.emplace(); },
    [] { frontEnd.reset(); },
};

} // namespace

extern "C" const pchost::PixelFunctions* nimbrel_pixel_functions()
{
    return &functions;
}
