#include "platform/FileSystem.h"

#include <sys/stat.h>
#include <unistd.h>

namespace regdesk {

std::string toNativePath(const GbkString& path)
{
    return gbkToUtf8(path);
}

GbkString fromNativePath(const std::string& nativePath)
{
    return utf8ToGbk(nativePath);
}

GbkString joinPath(const GbkString& directory, const GbkString& name)
{
    GbkString joined = directory;
    joined += kPathSeparator;
    joined += name;
    return joined;
}

FilePtr openFile(const GbkString& path, const char* mode)
{
    return FilePtr(std::fopen(toNativePath(path).c_str(), mode));
}

std::optional<std::string> readWholeFile(const GbkString& path)
{
    FilePtr file = openFile(path, "rb");
    if (!file)
        return std::nullopt;
    std::string bytes;
    char buffer[65536];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        bytes.append(buffer, count);
    if (std::ferror(file.get()))
        return std::nullopt;
    return bytes;
}

bool writeWholeFile(const GbkString& path, std::string_view bytes)
{
    FilePtr file = openFile(path, "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    return std::fclose(file.release()) == 0 && written;
}

bool fileExists(const GbkString& path)
{
    struct stat info
    {
    };
    return ::stat(toNativePath(path).c_str(), &info) == 0;
}

bool removeFile(const GbkString& path)
{
    return ::unlink(toNativePath(path).c_str()) == 0;
}

} // namespace regdesk
