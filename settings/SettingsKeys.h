#pragma once

#include <span>
#include <string_view>

namespace regdesk {

// The one table of what the desk reads from document.ini: every reader names
// its setting from here, and the admin tool's report and the checks of
// edit-settings are made from the same table. Names are written in UTF-8; the
// file holds them in GBK. An empty value is always allowed: it reads as a
// missing key does.
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

inline constexpr std::string_view kOutgoingSection = "发文设置";
inline constexpr std::string_view kCustomOrderSection = "自定义排序";
inline constexpr std::string_view kDatabaseSection = "数据库";
// List sections: read entry by entry in file order, whatever the names.
inline constexpr std::string_view kNumberPrefixList = "发文型式";
inline constexpr std::string_view kRecipientList = "主送单位";
inline constexpr std::string_view kDocumentKindList = "发文种类";
inline constexpr std::string_view kPdfList = "PDF"; // also holds Width and Height by name

// The printed list starts on sheet row 5 of at most 65536.
inline constexpr long long kMaxRowsPerPage = 65536 - 5 + 1;

constexpr KnownSetting text(std::string_view section, std::string_view key, SettingKind kind = SettingKind::Text)
{
    return {section, key, kind, 0, 0, {}};
}
constexpr KnownSetting integer(std::string_view section, std::string_view key, long long minimum, long long maximum)
{
    return {section, key, SettingKind::Integer, minimum, maximum, {}};
}
constexpr KnownSetting choice(std::string_view section, std::string_view key, std::string_view choices,
                              SettingKind kind = SettingKind::Choice)
{
    return {section, key, kind, 0, 0, choices};
}

inline constexpr KnownSetting kCodeUnit = text(kOutgoingSection, "制码单位");
inline constexpr KnownSetting kIssuingUnit = text(kOutgoingSection, "发文单位");
inline constexpr KnownSetting kTitleStart = text(kOutgoingSection, "标题");
inline constexpr KnownSetting kOutputFolder = text(kOutgoingSection, "二维码输出位置", SettingKind::Folder);
inline constexpr KnownSetting kCodeIdentifier = text(kOutgoingSection, "制码号固定标识");
// The byte length of the identifier; checked against it as well.
inline constexpr KnownSetting kCodeIdentifierLength = integer(kOutgoingSection, "制码号固定位数", 0, 64);
inline constexpr KnownSetting kCodeYearDigits = choice(kOutgoingSection, "制码号年度位数", "0|2|4");
inline constexpr KnownSetting kCodeSerialDigits = choice(kOutgoingSection, "制码号流水位数", "2|3|4|5|6|7");
inline constexpr KnownSetting kBarcodeSelfCheck = choice(kOutgoingSection, "条码自检", "是|否");
// Millimetres of the barcode picture.
inline constexpr KnownSetting kPictureWidth = integer(kPdfList, "Width", 1, 1000);
inline constexpr KnownSetting kPictureHeight = integer(kPdfList, "Height", 1, 1000);
// Every other key of the custom order is a document-number prefix with a two-digit position.
inline constexpr KnownSetting kSecrecyFirst =
    choice(kCustomOrderSection, "密级优先", "是|否", SettingKind::ChoiceOrAny);
inline constexpr KnownSetting kRowsPerPage = integer(kCustomOrderSection, "每页行数", 1, kMaxRowsPerPage);
inline constexpr KnownSetting kDatabaseType = choice(kDatabaseSection, "类型", "SQLite|PostgreSQL");
inline constexpr KnownSetting kDatabaseHost = text(kDatabaseSection, "主机");
inline constexpr KnownSetting kDatabasePort = integer(kDatabaseSection, "端口", 1, 65535);
inline constexpr KnownSetting kDatabaseName = text(kDatabaseSection, "库名");
inline constexpr KnownSetting kDatabaseUser = text(kDatabaseSection, "用户");

std::span<const KnownSetting> knownSettings();
std::span<const std::string_view> listSections();
bool isListSection(std::string_view utf8Section);
// Sections that hold keys the desk reads by name.
bool isKeySection(std::string_view utf8Section);

} // namespace SettingsKeys
} // namespace regdesk
