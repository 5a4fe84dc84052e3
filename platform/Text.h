#pragma once

#include <string_view>

namespace regdesk {

// Small byte-string helpers shared by the desk's readers.

// The text without blanks (space, tab, CR, LF) at either end.
std::string_view trimBlanks(std::string_view text);

// Decimal conversion as the C runtime's atoi does it: leading white space,
// an optional sign, then digits up to the first other byte; 0 when there are
// none. Out-of-range values are clamped to the int range instead of wrapping.
int parseLeadingInteger(std::string_view text);

} // namespace regdesk
