#include "InputFiles.h"

#include "FileIo.h"

namespace lattix {
namespace {

bool isUsablePath(const char* path)
{
    return path && static_cast<signed char>(path[0]) > 0;
}

std::optional<Bytes> readPart(const char* path)
{
    // One byte past the limit is enough to tell whether a part fits whole.
    constexpr std::size_t kReadLimit = ThreePartBlock::kMaxPartBytes + 1;
    if (!isUsablePath(path))
        return std::nullopt;
    return readFileHead(path, kReadLimit);
}

} // namespace

std::optional<Bytes> readSingleFileInput(const char* path)
{
    if (!path)
        return std::nullopt;
    std::optional<Bytes> bytes = readFileHead(path, ThreePartBlock::kInputBufferBytes);
    if (!bytes || bytes->empty())
        return std::nullopt;
    return bytes;
}

ThreePartBlock readThreePartInput(const char* textPath, const char* imagePath, const char* otherPath)
{
    ThreePartBlock block;
    if (const std::optional<Bytes> text = readPart(textPath))
        block.setText(*text);
    if (const std::optional<Bytes> image = readPart(imagePath))
        block.addImage(*image);
    if (const std::optional<Bytes> other = readPart(otherPath))
        block.addOther(*other);
    return block;
}

} // namespace lattix
