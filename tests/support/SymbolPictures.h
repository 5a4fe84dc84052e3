#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace regdesk::test {

// The encoder's settings of section PDF that shape a symbol.
struct SymbolOptions
{
    std::string eccLevel = "9"; // "9": chosen by eccPercent
    int eccPercent = 40;
    int rows = 0;
    int cols = 0;
    bool truncated = false;
    std::string aspect = "1:2";
};

// The pictures Lattix draws for `data`, as the pdf417 program writes them.
struct SymbolPictures
{
    std::string bitmap;           // TempPdf.bmp
    std::string enhancedMetafile; // TempPdf.emf
    std::string windowsMetafile;  // TempPdf.wmf
    int rows = 0;
    int cols = 0;
};

// nullopt when the data does not fit into one symbol with these settings.
std::optional<SymbolPictures> drawSymbol(std::string_view data, const SymbolOptions& options = {});

// TempPdf.bmp of `data` with the encoder's default settings.
std::string symbolBitmap(std::string_view data);

} // namespace regdesk::test
