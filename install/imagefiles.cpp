#include "install/imagefiles.h"

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "install/checksumfile.h"
#include "store/context.h"

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
