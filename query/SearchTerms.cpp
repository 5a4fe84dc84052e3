#include "query/SearchTerms.h"

#include "platform/Text.h"

namespace regdesk {

SearchTerms parseSearchTerms(std::string_view text)
{
    text = trimBlanks(text);
    GbkString spaced;
    spaced.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t length = gbkCharLength(text, pos);
        if (length == 1 && text[pos] == '_' && pos + 1 < text.size() && text[pos + 1] == '_') {
            spaced += "  ";
            pos += 2;
            continue;
        }
        spaced.append(text.substr(pos, length));
        pos += length;
    }

    SearchTerms parsed;
    std::size_t start = 0;
    while (start <= spaced.size()) {
        std::size_t blank = spaced.find(' ', start);
        if (blank == GbkString::npos)
            blank = spaced.size();
        if (blank > start) {
            if (parsed.terms.size() < SearchTerms::kMaxTerms)
                parsed.terms.push_back(spaced.substr(start, blank - start));
            else
                ++parsed.dropped;
        }
        start = blank + 1;
    }
    return parsed;
}

} // namespace regdesk
