#include "platform/FileSystem.h"

#include "platform/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace regdesk {
namespace {

// "dir/.regdesk-1a2b3c4d.tmp": in the final name's folder, so that the
// rename stays within one file system; short, so that a final name near the
// length limit still has room beside it.
std::string temporarySibling(const std::string& nativePath)
{
    const std::size_t slash = nativePath.rfind('/');
    char name[32];
    std::snprintf(name, sizeof name, ".regdesk-%08x.tmp", static_cast<unsigned>(std::random_device{}()));
    return nativePath.substr(0, slash == std::string::npos ? 0 : slash + 1) + name;
}

// 0, or the errno of the write that failed.
int writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return errno;
        if (written == 0)
            return EIO;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

} // namespace

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

std::string absoluteNativePath(const std::string& nativePath)
{
    if (nativePath.empty() || nativePath.front() == '/')
        return nativePath;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(nativePath, error);
    // Without a current folder there is nothing to resolve against: "./" still
    // keeps the name from being read as an option.
    return error ? "./" + nativePath : absolute.string();
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

std::optional<std::string> readRegularNativeFile(const std::string& nativePath, std::size_t maxBytes, FileLinks links,
                                                 OversizeFile oversize, UniqueFd* opened)
{
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    const int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (links == FileLinks::Refuse ? O_NOFOLLOW : 0);
    UniqueFd file(::open(nativePath.c_str(), flags));
    struct stat info
    {
    };
    if (!file || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    const auto size = static_cast<unsigned long long>(std::max<off_t>(info.st_size, 0));
    if (size > maxBytes && oversize == OversizeFile::Refuse)
        return std::nullopt;
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(std::min<unsigned long long>(size, maxBytes)));
    char buffer[65536];
    for (;;) {
        // Cutting reads no further than the limit; refusing reads on to see a file that grew meanwhile.
        const std::size_t room = oversize == OversizeFile::Cut ? maxBytes - bytes.size() : sizeof buffer;
        if (room == 0)
            break;
        const ssize_t count = ::read(file.get(), buffer, std::min(sizeof buffer, room));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return std::nullopt;
        if (count == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(count));
        if (bytes.size() > maxBytes)
            return std::nullopt;
    }
    if (opened)
        *opened = std::move(file);
    return bytes;
}

std::optional<std::string> readRegularFile(const GbkString& path, std::size_t maxBytes, FileLinks links,
                                           OversizeFile oversize, UniqueFd* opened)
{
    return readRegularNativeFile(toNativePath(path), maxBytes, links, oversize, opened);
}

int replaceFile(const GbkString& path, std::string_view bytes, Durability durability)
{
    const std::string target = toNativePath(path);
    std::string temporary;
    UniqueFd file;
    for (int attempt = 0; attempt < 100 && !file; ++attempt) {
        temporary = temporarySibling(target);
        file.reset(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!file && errno != EEXIST)
            return errno;
    }
    if (!file)
        return EEXIST;
    int failure = writeAll(file.get(), bytes);
    struct stat old
    {
    };
    if (durability == Durability::Synced) {
        if (failure == 0 && ::lstat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode) &&
            ::fchmod(file.get(), old.st_mode & 07777) != 0)
            failure = errno;
        // Without this a crash soon after the rename can leave an empty file under the name.
        if (failure == 0 && ::fsync(file.get()) != 0)
            failure = errno;
    }
    // A full disk may show only when the file is closed.
    if (::close(file.release()) != 0 && failure == 0)
        failure = errno;
    if (failure == 0 && ::rename(temporary.c_str(), target.c_str()) != 0)
        failure = errno;
    if (failure != 0) {
        ::unlink(temporary.c_str());
        return failure;
    }
    if (durability == Durability::Synced) {
        const std::size_t slash = target.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : target.substr(0, std::max<std::size_t>(slash, 1));
        const UniqueFd directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        // The new file is in place already: a folder that cannot be synced changes nothing of that.
        if (directory)
            ::fsync(directory.get());
    }
    return 0;
}

bool writeWholeFile(const GbkString& path, std::string_view bytes)
{
    return replaceFile(path, bytes) == 0;
}

bool moveFile(const GbkString& from, const GbkString& to)
{
    return ::rename(toNativePath(from).c_str(), toNativePath(to).c_str()) == 0;
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
