#pragma once

#include <string>
#include <string_view>

namespace regdesk {

// All of the desk's text is GBK (code page 936). The core passes it around as
// plain byte strings and counts lengths and positions in bytes; conversion to
// UTF-8 or QString happens only at the edges (widgets, database, file names).
using GbkString = std::string;

// GBK -> UTF-8. A byte that does not start a valid GBK character becomes the
// private-use character U+F700 + byte and conversion goes on with the next
// byte, so a damaged text never loses its remainder and converts back to the
// very same bytes.
std::string gbkToUtf8(std::string_view gbk);

// UTF-8 -> GBK. U+F700..U+F7FF turn back into the bytes they stand for; any
// other character GBK cannot hold becomes '?', and so do invalid UTF-8 bytes.
GbkString utf8ToGbk(std::string_view utf8);

// True when every byte sequence of the text is valid GBK.
bool isValidGbk(std::string_view gbk);

// Length in bytes of the GBK character that starts at `pos` (1 or 2). A lead
// byte at the very end counts as a single byte.
std::size_t gbkCharLength(std::string_view gbk, std::size_t pos);

inline namespace literals {
// "发文登记表"_gbk: a GBK byte string from a literal written in this UTF-8 source.
inline GbkString operator""_gbk(const char* text, std::size_t length)
{
    return utf8ToGbk(std::string_view(text, length));
}
} // namespace literals

} // namespace regdesk
