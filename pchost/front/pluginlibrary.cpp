#include "pchost/front/pluginlibrary.h"

#include <dlfcn.h>
#include <stdexcept>

Plugin::Plugin(const std::string& path)
{
    // dlopen looks a bare name up in the library path, not here.
    std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    if (!(library = dlopen(file.c_str(), RTLD_NOW)))
        throw std::runtime_error(std::string("cannot load the plug-in: ") + dlerror());
    if (!(entry = reinterpret_cast<int (*)(void*)>(dlsym(library, "plugin_exec")))) {
        dlclose(library);
        throw std::runtime_error(path + " has no plugin_exec");
    }
}

Plugin::~Plugin()
{
    dlclose(library);
}

void Plugin::exec() const
{
    entry(nullptr);
}
