#include "install/imagefiles.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "install/checksumfile.h"
#include "store/context.h"
#include "store/controls.h"

bool isImageFileName(const eString& name)
{
    return std::strstr(name.c_str(), ".img") && !isChecksumName(name);
}

std::vector<eString> checksumFilesBeside(const eString& file)
{
    std::vector<eString> found;
    for (const char* suffix : {".md5", ".sha256"}) {
        struct stat st;
        if (lstat((mpoint + "/" + file + suffix).c_str(), &st) == 0 && S_ISREG(st.st_mode))
            found.push_back(file + suffix);
    }
    return found;
}

bool unlinkWithChecksumFiles(const eString& file)
{
    std::vector<eString> sums = checksumFilesBeside(file);
    // The sums stay with an image file that stays.
    bool gone = unlink((mpoint + "/" + file).c_str()) == 0;
    for (const eString& sum : sums)
        gone = gone && unlink((mpoint + "/" + sum).c_str()) == 0;
    return gone;
}

std::string badFileName(const std::string& name)
{
    if (name.empty() || name.size() > 200)
        return "no file name of the store";
    if (name.find('/') != std::string::npos || name.find("..") != std::string::npos)
        return "file name with / or ..";
    if (hasControlCharacter(name))
        return "file name with a control character";
    if (name.find(".img") == std::string::npos)
        return "no image file (its name has no .img): " + name;
    return "";
}

bool publishFile(const std::string& temporary, const std::string& path)
{
    if (link(temporary.c_str(), path.c_str()) == 0) {
        unlink(temporary.c_str());
        return true;
    }
    if (errno != EPERM && errno != ENOTSUP)
        return false;
    struct stat st;
    return lstat(path.c_str(), &st) != 0 && rename(temporary.c_str(), path.c_str()) == 0;  // no links on FAT
}
