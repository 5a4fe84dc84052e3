// Fuzzes the picture pick-up: any bitmap file and any picture size, the size taken from the first eight
// bytes as the settings' Width and Height would give it.
#include "barcode/EmfPicture.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 8)
        return 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::memcpy(&width, data, 4);
    std::memcpy(&height, data + 4, 4);
    const std::string_view bitmap(reinterpret_cast<const char*>(data) + 8, size - 8);
    const std::optional<std::string> emf = regdesk::EmfPicture::stretchedBitmap(bitmap, width, height);
    if (!emf)
        return 0;
    // The header's total size is the metafile's size, a multiple of four.
    std::uint32_t total = 0;
    if (emf->size() < 52 || emf->size() % 4 != 0)
        std::abort();
    std::memcpy(&total, emf->data() + 48, 4);
    if (total != emf->size())
        std::abort();
    return 0;
}
