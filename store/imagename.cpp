#include "store/imagename.h"

#include <utility>

#include "plugin/globals.h"
#include "store/handles.h"

eString imageName(const eString& nr, const eString& typed)
{
    if (!typed.empty())
        return typed;
    eString name;
    return name.sprintf("Image-%s", nr.c_str());
}

bool writeImageInfo(const eString& nr, const eString& name)
{
    eString path;
    path.sprintf("%s/image/%s/Image.info", mpoint.c_str(), nr.c_str());
    FileHandle info = openFile(path, "w");
    if (!info)
        return false;
    std::fprintf(info.get(), "name=%s\n", name.c_str());
    return closeFile(std::move(info));
}
