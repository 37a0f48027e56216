#include "store/imagename.h"

#include <cstdio>
#include <filesystem>
#include <utility>

#include "plugin/globals.h"
#include "store/handles.h"

namespace {

// Writes the name file under a name of its own, so that a failed write
// leaves any earlier Image.info as it was.
bool writeFresh(const eString& path, const eString& name)
{
    std::error_code error;
    std::filesystem::remove_all(path.c_str(), error);
    if (error)
        return false;
    FileHandle info = openFile(path, "wx");  // exclusive: never opens through a link
    if (!info)
        return false;
    std::fprintf(info.get(), "name=%s\n", name.c_str());
    if (closeFile(std::move(info)))
        return true;
    std::filesystem::remove(path.c_str(), error);  // the failure is reported either way
    return false;
}

} // namespace

eString imageName(const eString& nr, const eString& typed)
{
    if (!typed.empty())
        return typed;
    eString name;
    return name.sprintf("Image-%s", nr.c_str());
}

bool writeImageInfo(const eString& nr, const eString& name)
{
    eString path, fresh;
    path.sprintf("%s/image/%s/Image.info", mpoint.c_str(), nr.c_str());
    fresh = path + ".new";
    if (!writeFresh(fresh, name))
        return false;
    // rename replaces a file or a link, but not a directory.
    std::error_code error;
    if (std::rename(fresh.c_str(), path.c_str()) == 0)
        return true;
    std::filesystem::remove_all(path.c_str(), error);
    if (!error && std::rename(fresh.c_str(), path.c_str()) == 0)
        return true;
    std::filesystem::remove(fresh.c_str(), error);  // the failure is reported either way
    return false;
}
