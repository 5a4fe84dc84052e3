#pragma once

#include <span>
#include <string_view>

namespace regdesk {

// The one table of what the desk reads from document.ini by name: the admin
// tool's report and the checks of edit-settings are made from it. Names are
// written in UTF-8 here; the file holds them in GBK. An empty value is always
// allowed: it reads as a missing key does.
enum class SettingKind
{
    Text,
    Folder,
    Integer,    // decimal digits only, within [minimum, maximum]
    Choice,     // one of `choices`, separated by "|", ASCII case ignored
    ChoiceOrAny // as Choice, but the desk takes any other value too (it is only suspicious)
};

struct KnownSetting
{
    std::string_view section;
    std::string_view key;
    SettingKind kind = SettingKind::Text;
    long long minimum = 0;
    long long maximum = 0;
    std::string_view choices;
};

namespace SettingsKeys {

inline constexpr std::string_view kOutgoing = "发文设置";
inline constexpr std::string_view kCustomOrder = "自定义排序";
inline constexpr std::string_view kDatabase = "数据库";
inline constexpr std::string_view kPdf = "PDF";
// Keys of the custom order that are not document-number prefixes.
inline constexpr std::string_view kSecrecyFirst = "密级优先";
inline constexpr std::string_view kRowsPerPage = "每页行数";
// The printed list starts on sheet row 5 of at most 65536.
inline constexpr long long kMaxRowsPerPage = 65536 - 5 + 1;

std::span<const KnownSetting> knownSettings();

// Sections read entry by entry, in file order, whatever the names.
std::span<const std::string_view> listSections();
bool isListSection(std::string_view utf8Section);

// Sections that hold keys the desk reads by name.
bool isKeySection(std::string_view utf8Section);

} // namespace SettingsKeys
} // namespace regdesk
