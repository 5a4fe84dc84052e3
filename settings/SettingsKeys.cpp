#include "settings/SettingsKeys.h"

#include <algorithm>
#include <array>

namespace regdesk::SettingsKeys {
namespace {

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

constexpr std::array kSettings = {
    text(kOutgoing, "制码单位"),
    text(kOutgoing, "发文单位"),
    text(kOutgoing, "标题"),
    text(kOutgoing, "二维码输出位置", SettingKind::Folder),
    text(kOutgoing, "制码号固定标识"),
    // The length of the identifier in bytes; checked against it as well.
    integer(kOutgoing, "制码号固定位数", 0, 64),
    choice(kOutgoing, "制码号年度位数", "0|2|4"),
    choice(kOutgoing, "制码号流水位数", "2|3|4|5|6|7"),
    choice(kOutgoing, "条码自检", "是|否"),
    // Millimetres of the barcode picture.
    integer(kPdf, "Width", 1, 1000),
    integer(kPdf, "Height", 1, 1000),
    choice(kCustomOrder, kSecrecyFirst, "是|否", SettingKind::ChoiceOrAny),
    integer(kCustomOrder, kRowsPerPage, 1, kMaxRowsPerPage),
    choice(kDatabase, "类型", "SQLite|PostgreSQL"),
    text(kDatabase, "主机"),
    integer(kDatabase, "端口", 1, 65535),
    text(kDatabase, "库名"),
    text(kDatabase, "用户"),
};

constexpr std::array<std::string_view, 4> kListSections = {"发文型式", "主送单位", "发文种类", kPdf};

} // namespace

std::span<const KnownSetting> knownSettings()
{
    return kSettings;
}

std::span<const std::string_view> listSections()
{
    return kListSections;
}

bool isListSection(std::string_view utf8Section)
{
    return std::find(kListSections.begin(), kListSections.end(), utf8Section) != kListSections.end();
}

bool isKeySection(std::string_view utf8Section)
{
    return std::any_of(kSettings.begin(), kSettings.end(),
                       [&](const KnownSetting& setting) { return setting.section == utf8Section; });
}

} // namespace regdesk::SettingsKeys
