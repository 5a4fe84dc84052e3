#pragma once

#include "platform/Gbk.h"

#include <cstddef>
#include <string_view>
#include <vector>

namespace regdesk {

// The terms of a fuzzy search as the clerk types them: separated by blanks,
// or by a double underscore. A search holds at most kMaxSearchTerms terms;
// further ones are dropped and counted, so the window can say so.
struct SearchTerms
{
    static constexpr std::size_t kMaxTerms = 20;

    std::vector<GbkString> terms;
    std::size_t dropped = 0;
};

// Trims the text, turns each "__" into two blanks (scanning from the left,
// one character at a time, so a "_" that is the second byte of a GBK
// character is left alone), then splits at blanks. Empty terms, which every
// text contains, are not kept.
SearchTerms parseSearchTerms(std::string_view text);

} // namespace regdesk
