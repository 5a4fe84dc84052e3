#include "query/CustomSortKey.h"

#include "settings/SettingsFile.h"
#include "settings/SettingsKeys.h"

namespace regdesk {
namespace {

constexpr std::ptrdiff_t kAbsent = -1;

std::ptrdiff_t positionOf(std::string_view text, std::string_view mark)
{
    const std::size_t found = findGbk(text, mark);
    return found == std::string_view::npos ? kAbsent : static_cast<std::ptrdiff_t>(found);
}

// The text between two marks: the b - a - 2 bytes behind the two-byte mark at a.
GbkString serialBetween(std::string_view number, std::ptrdiff_t a, std::ptrdiff_t b)
{
    const std::ptrdiff_t count = b - a - 2;
    if (count < 1)
        return {};
    std::size_t start = static_cast<std::size_t>(std::max<std::ptrdiff_t>(a + 2, 0));
    // Without the opening mark the start is byte 1, which may be the second
    // byte of a character: begin behind that character instead.
    if (start == 1 && gbkCharLength(number, 0) == 2)
        start = 2;
    const std::size_t end = static_cast<std::size_t>(b);
    if (start >= number.size() || start >= end)
        return {};
    return GbkString(number.substr(start, end - start));
}

} // namespace

NumberSortParts numberSortParts(std::string_view number)
{
    static const GbkString open = "〔"_gbk;
    static const GbkString close = "〕"_gbk;
    static const GbkString numberMark = "号"_gbk;
    static const GbkString bulletin = "通报"_gbk;
    static const GbkString issueStart = "第"_gbk;
    static const GbkString issueEnd = "期"_gbk;

    NumberSortParts parts;
    const std::ptrdiff_t p = positionOf(number, open);
    if (p >= 1) {
        parts.prefix = GbkString(number.substr(0, static_cast<std::size_t>(p)));
        parts.serial = serialBetween(number, positionOf(number, close), positionOf(number, numberMark));
        return parts;
    }
    const std::ptrdiff_t q = positionOf(number, bulletin);
    if (q != kAbsent)
        parts.prefix = GbkString(number.substr(0, static_cast<std::size_t>(q)));
    parts.prefix += bulletin;
    parts.serial = serialBetween(number, positionOf(number, issueStart), positionOf(number, issueEnd));
    return parts;
}

GbkString padWithZeros(std::string_view text, std::size_t width)
{
    GbkString padded;
    if (text.size() < width)
        padded.assign(width - text.size(), '0');
    padded += text;
    return padded;
}

CustomSortOrder::CustomSortOrder(const SettingsFile& settings)
    : m_settings(settings), m_secrecyFirst(settings.getString(SettingsKeys::kSecrecyFirst) == "是"_gbk)
{}

const GbkString& CustomSortOrder::codeOf(const GbkString& prefix) const
{
    auto found = m_codes.find(prefix);
    if (found == m_codes.end()) {
        GbkString code = m_settings.getString(utf8ToGbk(SettingsKeys::kCustomOrderSection), prefix);
        if (code.empty())
            code = "99";
        found = m_codes.emplace(prefix, std::move(code)).first;
    }
    return found->second;
}

GbkString CustomSortOrder::keyFor(std::string_view number, std::string_view secrecy) const
{
    const NumberSortParts parts = numberSortParts(number);
    GbkString key;
    if (m_secrecyFirst)
        key.push_back(containsGbk(secrecy, "密"_gbk) ? '0' : '1');
    key += padWithZeros(codeOf(parts.prefix), 2);
    key += padWithZeros(parts.serial, 5);
    return key;
}

} // namespace regdesk
