#pragma once

#include "Bytes.h"
#include "SymbolLayout.h"

#include <optional>
#include <string>

namespace lattix {

struct SymbolSettings;

// The output files of one encoding, by their fixed names.
inline constexpr const char* kBitmapFileName = "TempPdf.bmp";
inline constexpr const char* kEnhancedMetafileName = "TempPdf.emf";
inline constexpr const char* kWindowsMetafileName = "TempPdf.wmf";
inline constexpr const char* kCodewordDumpName = "TempCode.txt";

// Data bytes to a finished symbol; nullopt for no data or a symbol that cannot hold them.
std::optional<Symbol> encodeSymbol(ByteView data, const SymbolSettings& settings);

// The four files of a symbol, in memory.
struct SymbolFiles
{
    std::string codewordDump;
    Bytes bitmap;
    Bytes enhancedMetafile;
    Bytes windowsMetafile;
};
SymbolFiles renderSymbolFiles(const Symbol& symbol);

enum class EncodeOutcome
{
    Written,          // the bitmap was written; the other files as far as they could be
    NothingToEncode,  // no data, or a symbol of 929 or more codewords: no file touched
    BitmapNotWritten, // the bitmap could not be written: no other file touched
};

// The whole pipeline: encodes with the settings file's section PDF and writes the four files into the
// current folder. The bitmap goes first so that a failure leaves an earlier call's files together and
// unchanged; the dump and metafiles are best effort.
EncodeOutcome encodeToFiles(ByteView data, const std::string& settingsFile);

} // namespace lattix
