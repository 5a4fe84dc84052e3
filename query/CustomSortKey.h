#pragma once

#include "platform/Gbk.h"

#include <cstddef>
#include <map>
#include <string_view>

namespace regdesk {

class SettingsFile;

// The two parts of a document number that the office's custom order reads:
// for prefix〔year〕serial号 the text before "〔" and the serial between "〕"
// and "号"; for …通报第serial期 the text up to and including "通报" and the
// serial between "第" and "期".
struct NumberSortParts
{
    GbkString prefix;
    GbkString serial;
};
NumberSortParts numberSortParts(std::string_view number);

// `text` padded on the left with "0" to `width` bytes; a longer text is kept whole.
GbkString padWithZeros(std::string_view text, std::size_t width);

// The custom sort key of the query list (its column 自定义排序): the position
// code of the number's prefix from section 自定义排序 ("99" when missing),
// padded to 2, then the serial padded to 5; with 密级优先=是 a leading "0" for
// classified rows and "1" for the rest. Codes are looked up once per prefix.
class CustomSortOrder
{
public:
    explicit CustomSortOrder(const SettingsFile& settings);

    GbkString keyFor(std::string_view number, std::string_view secrecy) const;

private:
    const GbkString& codeOf(const GbkString& prefix) const;

    const SettingsFile& m_settings;
    bool m_secrecyFirst = false;
    mutable std::map<GbkString, GbkString> m_codes;
};

} // namespace regdesk
