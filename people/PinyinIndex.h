#pragma once

#include "platform/Gbk.h"

#include <string_view>

namespace regdesk {

// The desk's own table of the 6763 GB2312 characters grouped by pinyin
// syllable (407 rows, "a" to "zuo"), and the initials a name gets from it.
// A character read several ways stands in the row of each reading; a lookup
// takes its first row, so it gets the letter of its alphabetically first
// syllable.
class PinyinIndex
{
public:
    static constexpr int kRowCount = 407;

    // The initials of a GBK text, one upper-case ASCII letter per two-byte
    // character, as the import stores in 简称. One-byte characters give
    // nothing; a two-byte character outside the table gives Z.
    static GbkString initials(const GbkString& text);

    // The first row holding `character` (one GBK character), or -1.
    static int rowOf(std::string_view character);

    // The upper-case initial of the syllable of `row` (0 <= row < kRowCount).
    static char letterOfRow(int row);

    // The syllable of `row` in ASCII, with "v" for ü ("lv", "nve").
    static std::string_view syllableOfRow(int row);

    // The GBK characters of `row`: level 1 in code order, then level 2.
    static std::string_view charactersOfRow(int row);
};

} // namespace regdesk
