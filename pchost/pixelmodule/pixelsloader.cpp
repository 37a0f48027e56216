// The pixel functions of nimbrel-host: nimbrel-pixels.so, next to the
// program, is loaded on the first picture or window. The libraries behind
// Cairo, fontconfig and SDL2 would otherwise cost every start of the host,
// terminal and scripted sessions included, several milliseconds.
#include <dlfcn.h>

#include <stdexcept>

#include "pchost/front/executable.h"
#include "pchost/front/window.h"
#include "pchost/pixelmodule/pixelfunctions.h"

namespace pchost {

namespace {

struct Loaded {
    const PixelFunctions* functions = nullptr;
    std::string error;  // why there are none
};

Loaded load()
{
    std::string path = executableDir() + "/nimbrel-pixels.so";
    // Kept to the end of the program: the window's library threads and
    // callbacks may outlive the window.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module)
        return {nullptr, dlerror()};
    using Entry = const PixelFunctions* (*)();
    auto entry = reinterpret_cast<Entry>(dlsym(module, pixelFunctionsEntry));
    if (!entry)
        return {nullptr, path + " has no " + pixelFunctionsEntry};
    return {entry(), ""};
}

// The module's functions, loaded once; throws naming WHAT when there are none.
const PixelFunctions& pixelFunctions(const std::string& what)
{
    static const Loaded loaded = load();
    if (!loaded.functions)
        throw std::runtime_error(what + ": this nimbrel-host cannot paint pixels (" +
            loaded.error + ")");
    return *loaded.functions;
}

} // namespace

Picture paintScreen()
{
    return pixelFunctions("painting the screen").paintScreen();
}

void writeScreenPng(const std::string& file)
{
    pixelFunctions("cannot write " + file).writeScreenPng(file);
}

WindowFrontEnd::WindowFrontEnd()
{
    pixelFunctions("--window").openWindow();
}

// A window was opened, so the module is there: this does not throw.
WindowFrontEnd::~WindowFrontEnd()
{
    pixelFunctions("--window").closeWindow();
}

} // namespace pchost
