// The entry point of nimbrel-pixels.so: the painters of pixels.cpp and
// window.cpp as one table for the host that loads it.
#include <optional>

#include "pchost/pixelfunctions.h"
#include "pchost/window.h"

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
