#include "printing/CatalogueSortKey.h"

#include "platform/Gbk.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsKeys.h"

#include <algorithm>

namespace regdesk::CatalogueSortKey {
namespace {

// A position as the desk counts it: -1 when the mark is absent.
long long position(const GbkString& text, const GbkString& mark)
{
    const std::size_t found = findGbk(text, mark);
    return found == GbkString::npos ? -1 : static_cast<long long>(found);
}

GbkString padded(const GbkString& text, std::size_t width)
{
    return text.size() >= width ? text : GbkString(width - text.size(), '0') + text;
}

} // namespace

NumberParts split(const GbkString& number)
{
    const long long open = position(number, "〔"_gbk);
    const long long close = position(number, "〕"_gbk);
    const long long end = position(number, "号"_gbk);
    NumberParts parts;
    if (open > 0)
        parts.prefix = number.substr(0, static_cast<std::size_t>(open));
    // Just behind "〕" up to "号"; without the marks these bounds go odd, and
    // are then only kept inside the text.
    const long long start = std::max(close + 2, 0LL);
    const long long length = end - close - 2;
    if (length > 0 && start < static_cast<long long>(number.size()))
        parts.serial = number.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(length));
    return parts;
}

GbkString positionCode(const SettingsFile& settings, const GbkString& prefix)
{
    const GbkString code = settings.getString(utf8ToGbk(SettingsKeys::kCustomOrderSection), prefix);
    return code.empty() ? GbkString("99") : code;
}

GbkString key(const GbkString& code, const GbkString& serial)
{
    return padded(code, 2) + padded(serial, 5);
}

GbkString forNumber(const SettingsFile& settings, const GbkString& number)
{
    const NumberParts parts = split(number);
    return key(positionCode(settings, parts.prefix), parts.serial);
}

} // namespace regdesk::CatalogueSortKey
