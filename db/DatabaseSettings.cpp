#include "db/DatabaseSettings.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "settings/SettingsFile.h"

namespace regdesk {
namespace {

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

} // namespace

DatabaseSettings DatabaseSettings::read(const SettingsFile& settings)
{
    DatabaseSettings result;
    // A value ends only at a tab, CR, ";" or "]": blanks around it are the office's typing.
    const auto value = [&](const KnownSetting& setting) { return GbkString(trimBlanks(settings.getString(setting))); };
    result.type = value(SettingsKeys::kDatabaseType);
    result.host = value(SettingsKeys::kDatabaseHost);
    result.port = value(SettingsKeys::kDatabasePort);
    result.database = value(SettingsKeys::kDatabaseName);
    result.user = value(SettingsKeys::kDatabaseUser);
    if (result.type.empty() || equalsIgnoringAsciiCase(result.type, "sqlite"))
        result.kind = Kind::DataFile;
    else if (equalsIgnoringAsciiCase(result.type, "postgresql"))
        result.kind = Kind::PostgreSql;
    else
        result.kind = Kind::Unknown;
    return result;
}

DatabaseSettings DatabaseSettings::ofDirectory(const GbkString& programDirectory)
{
    return read(SettingsFile(joinPath(programDirectory, "document.ini")));
}

} // namespace regdesk
