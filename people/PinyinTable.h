#pragma once

#include <array>
#include <string_view>

namespace regdesk::pinyin {

struct SyllableRow
{
    std::string_view syllable;   // ASCII, "v" for ü
    std::string_view characters; // GBK
};

// Written by tools/make_pinyin_table.py into PinyinTable.cpp.
extern const std::array<SyllableRow, 407> kSyllableRows;

} // namespace regdesk::pinyin
