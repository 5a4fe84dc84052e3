#pragma once

#include "platform/Gbk.h"

#include <string_view>
#include <vector>

namespace regdesk {

// The register list is set up from two comma-separated strings: one of column
// headers and one of widths. Items are taken exactly as they stand between the
// commas, blanks included; a string without commas is one item.
std::vector<GbkString> splitListItems(std::string_view text);

// A width item converted like atoi: leading blanks skipped, an optional sign,
// then digits up to the first non-digit (" 50 " gives 50, "x" gives 0).
int parseColumnWidth(std::string_view item);

// Case-insensitive comparison of two GBK texts character by character, as the
// code page 936 multibyte comparison does: a lead byte (0x81..0xFE) and its
// trail byte form one character valued lead * 256 + trail; single bytes are
// compared with ASCII letters folded to lower case. A NUL byte or a lead byte
// without a trail ends the text. Returns <0, 0 or >0.
int compareGbkNoCase(std::string_view first, std::string_view second);

// A byte string whose plain byte order is the order of compareGbkNoCase: each
// character as two bytes, big-endian. Sorting many rows compares these keys.
std::string gbkSortKey(std::string_view text);

} // namespace regdesk
