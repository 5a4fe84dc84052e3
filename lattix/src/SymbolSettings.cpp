#include "SymbolSettings.h"

#include "ProfileReader.h"

namespace lattix {
namespace {

constexpr const char* kSection = "PDF";
// Buffer sizes of the text keys, terminating zero excluded.
constexpr std::size_t kAspectMaxChars = 9;
constexpr std::size_t kEccLevelMaxChars = 4;

} // namespace

SymbolSettings SymbolSettings::read(const ProfileReader& profile)
{
    const SymbolSettings defaults;
    SymbolSettings settings;
    settings.eccPercent = profile.getInt(kSection, "ECCPercent", defaults.eccPercent);
    settings.printerDpi = profile.getInt(kSection, "PrinterDPI", defaults.printerDpi);
    settings.rows = profile.getInt(kSection, "Rows", defaults.rows);
    settings.cols = profile.getInt(kSection, "Cols", defaults.cols);
    settings.truncated = profile.getInt(kSection, "Truncated", defaults.truncated);
    settings.aspect = profile.getString(kSection, "Aspect", defaults.aspect, kAspectMaxChars);
    settings.eccLevel = profile.getString(kSection, "ECCLevel", defaults.eccLevel, kEccLevelMaxChars);
    return settings;
}

SymbolSettings SymbolSettings::readFile(const std::string& path)
{
    return read(ProfileReader::fromFile(path));
}

} // namespace lattix
