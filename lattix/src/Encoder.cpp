#include "Encoder.h"

#include "BitmapWriter.h"
#include "CodewordDump.h"
#include "FileIo.h"
#include "HighLevelEncoder.h"
#include "MetafileWriter.h"
#include "SymbolSettings.h"

namespace lattix {
namespace {

ByteView asBytes(const std::string& text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

} // namespace

std::optional<Symbol> encodeSymbol(ByteView data, const SymbolSettings& settings)
{
    if (data.empty())
        return std::nullopt;
    return layOutSymbol(encodeHighLevel(data), settings);
}

SymbolFiles renderSymbolFiles(const Symbol& symbol)
{
    SymbolFiles files;
    files.codewordDump = formatCodewordDump(symbol);
    files.bitmap = encodeBitmap(drawSymbol(symbol));
    files.enhancedMetafile = encodeEnhancedMetafile(files.bitmap);
    files.windowsMetafile = encodeWindowsMetafile(files.bitmap);
    return files;
}

EncodeOutcome encodeToFiles(ByteView data, const std::string& settingsFile)
{
    const std::optional<Symbol> symbol = encodeSymbol(data, SymbolSettings::readFile(settingsFile));
    if (!symbol)
        return EncodeOutcome::NothingToEncode;
    const SymbolFiles files = renderSymbolFiles(*symbol);
    if (!writeWholeFile(kBitmapFileName, files.bitmap))
        return EncodeOutcome::BitmapNotWritten;
    writeWholeFile(kCodewordDumpName, asBytes(files.codewordDump));
    writeWholeFile(kEnhancedMetafileName, files.enhancedMetafile);
    writeWholeFile(kWindowsMetafileName, files.windowsMetafile);
    return EncodeOutcome::Written;
}

} // namespace lattix
