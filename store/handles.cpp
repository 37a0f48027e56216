#include "store/handles.h"

void FileCloser::operator()(FILE* file) const
{
    std::fclose(file);  // a write error is reported by closeFile() where it matters
}

void DirCloser::operator()(DIR* dir) const
{
    closedir(dir);
}

FileHandle openFile(const eString& path, const char* mode)
{
    return FileHandle(std::fopen(path.c_str(), mode));
}

DirHandle openDir(const eString& path)
{
    return DirHandle(opendir(path.c_str()));
}

bool closeFile(FileHandle file)
{
    FILE* raw = file.release();
    if (!raw)
        return false;
    bool failed = std::ferror(raw) != 0;
    return std::fclose(raw) == 0 && !failed;
}
