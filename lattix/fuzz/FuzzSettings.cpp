// Fuzzes the settings reader: any file text, read as section PDF, then one encoding with what it gave.
#include "ProfileReader.h"
#include "SymbolChecks.h"
#include "SymbolSettings.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const lattix::ProfileReader profile = lattix::ProfileReader::fromText(text);
    const lattix::SymbolSettings settings = lattix::SymbolSettings::read(profile);
    if (settings.aspect.size() > 9 || settings.eccLevel.size() > 4)
        std::abort();
    // Other sections and keys read the same way as the scan reader's do.
    profile.getString("SCAN", "Port", "COM1", 255);
    profile.getInt("SCAN", "Baudrate", 9600);

    static constexpr std::string_view kPayload = "GB0626-2005^\xb7\xa8\xa1\xb2"
                                                 "2024\xa1\xb3"
                                                 "12\xba\xc5^20240102^^|";
    const lattix::ByteView input(reinterpret_cast<const std::uint8_t*>(kPayload.data()), kPayload.size());
    if (const std::optional<lattix::Symbol> symbol = lattix::encodeSymbol(input, settings))
        lattix::fuzz::checkSymbol(*symbol);
    return 0;
}
