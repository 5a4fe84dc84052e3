#include "scanner/ScanFields.h"

#include <cstdio>

namespace regdesk {
namespace {

// Where each list column's value stands in a scan.
constexpr std::array<std::size_t, DocumentRecord::Remarks> kScanPositionOfColumn = {
    4,  // 发文号
    6,  // 标题
    7,  // 密级
    3,  // 文种
    5,  // 主送
    10, // 发布层次
    2,  // 发文单位
    8,  // 紧急程度
    9,  // 成文日期
    1,  // 制码号
    11, // 制码单位
    12, // 制码时间
    0,  // 版本
};
constexpr std::size_t kRemarksPosition = 13;

} // namespace

ScanFields splitScan(std::string_view text)
{
    ScanFields fields;
    std::size_t start = 0;
    for (std::size_t index = 0; index < fields.size(); ++index) {
        // GBK-aware: a "^" that is the second byte of a character is text.
        const std::size_t separator = findGbk(text, "^", start);
        if (separator == std::string_view::npos)
            break;
        fields[index] = GbkString(text.substr(start, separator - start));
        start = separator + 1;
    }
    return fields;
}

bool isWholePayload(std::string_view text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    // The values' separators, then the "^" of the empty value and the one of the mark.
    std::size_t separators = 0;
    std::size_t last = std::string_view::npos;
    std::size_t before = std::string_view::npos;
    for (std::size_t at = findGbk(text, "^"); at != std::string_view::npos; at = findGbk(text, "^", at + 1)) {
        if (++separators > kPayloadFields + 1)
            return false;
        before = last;
        last = at;
    }
    return separators == kPayloadFields + 1 && last + 2 == text.size() && text[last + 1] == '|' && before + 1 == last;
}

DocumentRecord recordFromScan(const ScanFields& fields, const GbkString& dateText)
{
    DocumentRecord record;
    for (std::size_t column = 0; column < kScanPositionOfColumn.size(); ++column)
        record.fields[column] = fields[kScanPositionOfColumn[column]];
    record[DocumentRecord::Remarks] = fields[kRemarksPosition] + dateText;
    return record;
}

GbkString eightDigitDate(int year, int month, int day)
{
    char text[32];
    std::snprintf(text, sizeof text, "%d%02d%02d", year, month, day);
    return text;
}

} // namespace regdesk
