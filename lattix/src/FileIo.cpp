#include "FileIo.h"

#include <cstdio>
#include <memory>

namespace lattix {
namespace {

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

FileHandle openFile(const std::string& path, const char* mode)
{
    return FileHandle(std::fopen(path.c_str(), mode));
}

} // namespace

std::optional<Bytes> readFileHead(const std::string& path, std::size_t maxBytes)
{
    FileHandle file = openFile(path, "rb");
    if (!file)
        return std::nullopt;
    Bytes bytes(maxBytes);
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file.get());
    bytes.resize(got);
    return bytes;
}

bool writeWholeFile(const std::string& path, ByteView bytes)
{
    std::FILE* raw = std::fopen(path.c_str(), "wb");
    if (!raw)
        return false;
    // An empty view may carry a null pointer, which fwrite must not be given even for 0 bytes.
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), raw) == bytes.size();
    // A full disk may only show up when the buffer is flushed.
    const bool closed = std::fclose(raw) == 0;
    return written && closed;
}

} // namespace lattix
