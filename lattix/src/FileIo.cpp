#include "FileIo.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace lattix {
namespace {

// Owns one file descriptor.
class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(Descriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor& operator=(Descriptor&&) = delete;

    int get() const { return m_fd; }
    // Closes now; false when closing reported an error (a full disk may show only here).
    bool close() { return ::close(std::exchange(m_fd, -1)) == 0; }

private:
    int m_fd;
};

// O_NONBLOCK: opening a FIFO must not wait for a writer; only a regular file is read at all.
Descriptor openRegular(const std::string& path)
{
    Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info
    {
    };
    if (file.get() >= 0 && (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)))
        return Descriptor(-1);
    return file;
}

// Reads until the end of the file or maxBytes; nullopt on a read error. Grows as it reads, so that a
// generous limit costs nothing for a small file.
std::optional<Bytes> readUpTo(int fd, std::size_t maxBytes)
{
    Bytes bytes;
    std::uint8_t chunk[65536];
    while (bytes.size() < maxBytes) {
        const ssize_t count = ::read(fd, chunk, std::min(sizeof chunk, maxBytes - bytes.size()));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return std::nullopt;
        if (count == 0)
            break;
        bytes.insert(bytes.end(), chunk, chunk + count);
    }
    return bytes;
}

// "folder/.lattix-1a2b3c4d.tmp" beside the final name, so that the rename stays within one file system.
std::string temporarySibling(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    char name[32];
    std::snprintf(name, sizeof name, ".lattix-%08x.tmp", static_cast<unsigned>(std::random_device{}()));
    return path.substr(0, slash == std::string::npos ? 0 : slash + 1) + name;
}

bool writeAll(int fd, ByteView bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

} // namespace

std::optional<Bytes> readFileHead(const std::string& path, std::size_t maxBytes)
{
    const Descriptor file = openRegular(path);
    if (file.get() < 0)
        return std::nullopt;
    return readUpTo(file.get(), maxBytes);
}

std::optional<std::string> readSmallFile(const std::string& path, std::size_t maxBytes)
{
    // One byte more than allowed tells a file that is too large.
    std::optional<Bytes> bytes = readFileHead(path, maxBytes + 1);
    if (!bytes || bytes->size() > maxBytes)
        return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

bool writeWholeFile(const std::string& path, ByteView bytes)
{
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = temporarySibling(path);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    Descriptor file(fd);
    if (file.get() < 0)
        return false;
    const bool written = writeAll(file.get(), bytes) && file.close() && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!written)
        ::unlink(temporary.c_str());
    return written;
}

} // namespace lattix
