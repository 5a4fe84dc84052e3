#include "settings/SettingsKeys.h"

#include <algorithm>
#include <array>

namespace regdesk::SettingsKeys {
namespace {

constexpr std::array kSettings = {
    kCodeUnit,       kIssuingUnit,      kTitleStart,       kOutputFolder, kCodeIdentifier, kCodeIdentifierLength,
    kCodeYearDigits, kCodeSerialDigits, kBarcodeSelfCheck, kPictureWidth, kPictureHeight,  kSecrecyFirst,
    kRowsPerPage,    kDatabaseType,     kDatabaseHost,     kDatabasePort, kDatabaseName,   kDatabaseUser,
};

constexpr std::array kListSections = {kNumberPrefixList, kRecipientList, kDocumentKindList, kPdfList};

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
