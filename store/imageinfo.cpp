#include "store/imageinfo.h"

#include <filesystem>

#include "store/handles.h"

bool writeImageInfo(const eString& slotDir, const eString& name)
{
    eString path = slotDir + "/Image.info";
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
    std::filesystem::remove(path.c_str(), error);  // best effort; the failure is reported anyway
    return false;
}
