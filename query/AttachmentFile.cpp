#include "query/AttachmentFile.h"

#include "platform/UniqueFd.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace regdesk {
namespace {

std::string temporaryName()
{
    static std::atomic<unsigned> counter{0};
    return ".regdesk-export-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
}

int writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

} // namespace

GbkString attachmentType(const GbkString& path)
{
    const std::size_t dot = path.rfind('.');
    return dot == GbkString::npos ? path : path.substr(dot + 1);
}

std::string attachmentFileName(const GbkString& number, const GbkString& type)
{
    // In UTF-8 a separator byte is always the character itself.
    std::string name = gbkToUtf8(number) + "." + gbkToUtf8(type);
    for (char& c : name) {
        if (c == '/' || c == '\\' || c == '\0')
            c = '_';
    }
    for (std::size_t dots = name.find(".."); dots != std::string::npos; dots = name.find("..", dots))
        name.replace(dots, 2, "__");
    return name;
}

int ensureOutputFolder(const std::string& nativeFolder)
{
    struct stat info
    {
    };
    if (::lstat(nativeFolder.c_str(), &info) == 0)
        return 0;
    return ::mkdir(nativeFolder.c_str(), 0777) == 0 || errno == EEXIST ? 0 : errno;
}

int writeFileInFolder(const std::string& nativeFolder, const std::string& name, std::string_view bytes)
{
    const UniqueFd folder(::open(nativeFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder)
        return errno;
    std::string temporary;
    UniqueFd file;
    for (int attempt = 0; attempt < 100 && !file; ++attempt) {
        temporary = temporaryName();
        file.reset(
            ::openat(folder.get(), temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!file && errno != EEXIST)
            return errno;
    }
    if (!file)
        return EEXIST;
    int failure = writeAll(file.get(), bytes);
    if (failure == 0 && ::fsync(file.get()) != 0)
        failure = errno;
    if (::close(file.release()) != 0 && failure == 0)
        failure = errno;
    if (failure == 0 && ::renameat(folder.get(), temporary.c_str(), folder.get(), name.c_str()) != 0)
        failure = errno;
    if (failure != 0)
        ::unlinkat(folder.get(), temporary.c_str(), 0);
    return failure;
}

} // namespace regdesk
