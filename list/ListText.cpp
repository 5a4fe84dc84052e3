#include "list/ListText.h"

#include "platform/Text.h"

namespace regdesk {
namespace {

bool isLeadByte(unsigned char byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}

// The character at `pos` as a comparable value; 0 at the end of the text.
unsigned int nextCharacter(std::string_view text, std::size_t& pos)
{
    if (pos >= text.size())
        return 0;
    const auto byte = static_cast<unsigned char>(text[pos++]);
    if (isLeadByte(byte)) {
        if (pos >= text.size() || text[pos] == '\0')
            return 0;
        const auto trail = static_cast<unsigned char>(text[pos++]);
        return (static_cast<unsigned int>(byte) << 8) | trail;
    }
    if (byte >= 'A' && byte <= 'Z')
        return byte - 'A' + 'a';
    return byte;
}

} // namespace

std::vector<GbkString> splitListItems(std::string_view text)
{
    std::vector<GbkString> items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        if (comma == std::string_view::npos) {
            items.emplace_back(text.substr(start));
            return items;
        }
        items.emplace_back(text.substr(start, comma - start));
        start = comma + 1;
    }
}

int parseColumnWidth(std::string_view item)
{
    return parseLeadingInteger(item);
}

int compareGbkNoCase(std::string_view first, std::string_view second)
{
    std::size_t i = 0;
    std::size_t j = 0;
    for (;;) {
        const unsigned int a = nextCharacter(first, i);
        const unsigned int b = nextCharacter(second, j);
        if (a != b)
            return a < b ? -1 : 1;
        if (a == 0)
            return 0;
    }
}

std::string gbkSortKey(std::string_view text)
{
    std::string key;
    key.reserve(text.size() * 2);
    std::size_t pos = 0;
    for (unsigned int c = nextCharacter(text, pos); c != 0; c = nextCharacter(text, pos)) {
        key += static_cast<char>(c >> 8);
        key += static_cast<char>(c & 0xFF);
    }
    return key;
}

} // namespace regdesk
