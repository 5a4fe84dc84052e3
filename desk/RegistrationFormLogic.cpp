#include "desk/RegistrationFormLogic.h"

#include "settings/SettingsFile.h"
#include "settings/SettingsKeys.h"

#include <algorithm>

namespace regdesk::RegistrationFormLogic {
namespace {

bool isTrimmedSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool isLeadByte(unsigned char byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}

} // namespace

std::vector<GbkString> numberPrefixes(const SettingsFile& settings, int year)
{
    const GbkString section = utf8ToGbk(SettingsKeys::kNumberPrefixList);
    const int count = std::min(settings.countEntries(section), kMaxNumberPrefixes);
    std::vector<GbkString> prefixes;
    for (int i = 0; i < count; ++i)
        prefixes.push_back(settings.entryValue(section, i) + "〔"_gbk + std::to_string(year) + "〕"_gbk);
    return prefixes;
}

std::vector<GbkString> recipientUnits(const SettingsFile& settings)
{
    const GbkString section = utf8ToGbk(SettingsKeys::kRecipientList);
    const int count = settings.countEntries(section);
    std::vector<GbkString> units;
    for (int i = 0; i < count; ++i)
        units.push_back(settings.entryValue(section, i));
    return units;
}

OutgoingDefaults outgoingDefaults(const SettingsFile& settings)
{
    return OutgoingDefaults{settings.getString(SettingsKeys::kCodeUnit), settings.getString(SettingsKeys::kIssuingUnit),
                            settings.getString(SettingsKeys::kTitleStart)};
}

GbkString cleanPastedText(std::string_view text)
{
    std::size_t end = text.size();
    while (end > 0 && isTrimmedSpace(text[end - 1]))
        --end;
    std::size_t start = 0;
    while (start < end && isTrimmedSpace(text[start]))
        ++start;
    GbkString cleaned;
    cleaned.reserve(end - start);
    for (std::size_t pos = start; pos < end;) {
        const char c = text[pos];
        if (isLeadByte(static_cast<unsigned char>(c)) && pos + 1 < end) {
            if (static_cast<unsigned char>(c) != 0xA1 || static_cast<unsigned char>(text[pos + 1]) != 0xA1)
                cleaned.append(text.substr(pos, 2));
            pos += 2;
            continue;
        }
        if (c != ' ' && c != '\r' && c != '\n')
            cleaned += c;
        ++pos;
    }
    return cleaned;
}

GbkString remarksOfDrafter(const GbkString& name)
{
    return name.empty() ? GbkString() : "拟稿人："_gbk + name;
}

GbkString modeTitle(RegistrationMode mode)
{
    return mode == RegistrationMode::Incoming ? "收文登记"_gbk : "发文登记"_gbk;
}

GbkString modeButtonCaption(RegistrationMode mode)
{
    return modeTitle(otherMode(mode));
}

RegistrationMode otherMode(RegistrationMode mode)
{
    return mode == RegistrationMode::Incoming ? RegistrationMode::Outgoing : RegistrationMode::Incoming;
}

GbkString listHeaderString()
{
    return "发文号 , 标题, 密级, 文种, 主送, 发布层次, 发文单位, 紧急程度,  成文日期, 制码号, 制码单位, 制码时间, 版本 "
           ",备注,条码已打,自定义排序,文件位置"_gbk;
}

GbkString listWidthString()
{
    return "120,350, 50, 50 , 150 , 70 , 180 , 70 , 70 , 70 , 70 , 70 ,60 ,70,70,30,80 ";
}

GbkString compactListWidthString()
{
    return "120,350, 50, 50 , 50 , 70 , 180 , 70 ,  70 , 70 , 70 , 70 ,60 ,70,70,30,80 ";
}

std::vector<GbkString> toListRow(const DocumentRecord& record, const GbkString& sortKey)
{
    std::vector<GbkString> row(record.fields.begin(), record.fields.end());
    row.push_back(record.barcodeMade);
    row.push_back(sortKey);
    row.push_back(record.attachmentPath);
    return row;
}

DocumentRecord fromListRow(const std::vector<GbkString>& row)
{
    DocumentRecord record;
    const auto cell = [&row](std::size_t column) { return column < row.size() ? row[column] : GbkString(); };
    for (std::size_t i = 0; i < record.fields.size(); ++i)
        record.fields[i] = cell(i);
    record.barcodeMade = cell(kBarcodeMadeColumn);
    record.attachmentPath = cell(kAttachmentColumn);
    return record;
}

} // namespace regdesk::RegistrationFormLogic
