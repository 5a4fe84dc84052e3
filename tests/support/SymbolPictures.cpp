#include "SymbolPictures.h"

#include "Encoder.h"
#include "SymbolSettings.h"

namespace regdesk::test {

std::optional<SymbolPictures> drawSymbol(std::string_view data, const SymbolOptions& options)
{
    lattix::SymbolSettings settings;
    settings.eccLevel = options.eccLevel;
    settings.eccPercent = options.eccPercent;
    settings.rows = options.rows;
    settings.cols = options.cols;
    settings.truncated = options.truncated ? 1 : 0;
    settings.aspect = options.aspect;
    const std::optional<lattix::Symbol> symbol =
        lattix::encodeSymbol({reinterpret_cast<const std::uint8_t*>(data.data()), data.size()}, settings);
    if (!symbol)
        return std::nullopt;
    const lattix::SymbolFiles files = lattix::renderSymbolFiles(*symbol);
    const auto text = [](const lattix::Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); };
    return SymbolPictures{text(files.bitmap), text(files.enhancedMetafile), text(files.windowsMetafile), symbol->rows,
                          symbol->cols};
}

std::string symbolBitmap(std::string_view data)
{
    const std::optional<SymbolPictures> pictures = drawSymbol(data);
    return pictures ? pictures->bitmap : std::string();
}

} // namespace regdesk::test
