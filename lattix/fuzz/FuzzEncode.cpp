// Fuzzes the encoding pipeline over its input bytes. The first two bytes pick settings, so that the
// size search, fixed rows and columns, every error-correction level and truncation are reached too.
#include "SymbolChecks.h"
#include "SymbolSettings.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    lattix::SymbolSettings settings;
    const std::uint8_t shape = data[0];
    const std::uint8_t level = data[1];
    switch (shape % 4) {
    case 1:
        settings.cols = shape / 4 % 32;
        break;
    case 2:
        settings.rows = shape / 4;
        break;
    case 3:
        settings.aspect = std::to_string(shape / 16) + ":" + std::to_string(shape % 16);
        break;
    default:
        break;
    }
    settings.truncated = shape & 0x80;
    settings.eccLevel = std::string(1, static_cast<char>('0' + level % 10));
    settings.eccPercent = level / 10 * 4;
    const lattix::ByteView input(data + 2, size - 2);
    if (const std::optional<lattix::Symbol> symbol = lattix::encodeSymbol(input, settings))
        lattix::fuzz::checkSymbol(*symbol);
    return 0;
}
