// The pixel functions of a host built without Cairo and SDL.
#include <stdexcept>

#include "pchost/front/window.h"
#include "pchost/paint/pixels.h"

namespace pchost {

namespace {

[[noreturn]] void unavailable(const std::string& what)
{
    throw std::runtime_error(what + ": this nimbrel-host was built without pixels "
                                    "(NIMBREL_PIXELS off, or no cairo and sdl2)");
}

} // namespace

Picture paintScreen()
{
    unavailable("painting the screen");
}

void writeScreenPng(const std::string& file)
{
    unavailable("cannot write " + file);
}

WindowFrontEnd::WindowFrontEnd()
{
    unavailable("--window");
}

WindowFrontEnd::~WindowFrontEnd() = default;

} // namespace pchost
