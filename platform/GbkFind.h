#pragma once

#include "platform/Gbk.h"

#include <string_view>

namespace regdesk {

// Byte position of the first occurrence of `part` in `text` that starts on a
// character boundary, or npos: the trail byte of one double-byte character
// and the lead byte of the next never make a match, as the code page's own
// multibyte search has it. An empty part is found at 0.
inline std::size_t findGbk(std::string_view text, std::string_view part)
{
    if (part.empty())
        return 0;
    for (std::size_t pos = 0; pos < text.size(); pos += gbkCharLength(text, pos)) {
        if (text.compare(pos, part.size(), part) == 0)
            return pos;
    }
    return std::string_view::npos;
}

} // namespace regdesk
