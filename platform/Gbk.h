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

// Length in bytes of the GBK character that starts at `pos` (1 or 2). Only a
// well-formed pair counts as one character: a lead byte 0x81-0xFE followed by
// 0x40-0xFE other than 0x7F. A lead byte before anything else (CR, "/", ".")
// or at the very end is a single byte, so it never swallows its follower.
std::size_t gbkCharLength(std::string_view gbk, std::size_t pos);

// Position of the first `needle` (or, for findFirstOfGbk, of any one byte of
// `asciiSet`) that starts on a character boundary at or after `from`, which
// must itself be a boundary; npos when there is none. An empty needle is found
// at `from`. Walking character by character keeps "^", "]" and "|" that are the
// second byte of a two-byte character (區 is 85 5E) part of the text, and never
// lets the trail byte of one character and the lead byte of the next pass for
// a third.
std::size_t findGbk(std::string_view gbk, std::string_view needle, std::size_t from = 0);
std::size_t findFirstOfGbk(std::string_view gbk, std::string_view asciiSet, std::size_t from = 0);
// The last such position of a non-empty needle; npos when there is none.
std::size_t rfindGbk(std::string_view gbk, std::string_view needle);
inline bool containsGbk(std::string_view gbk, std::string_view needle)
{
    return findGbk(gbk, needle) != std::string_view::npos;
}

inline namespace literals {
// "发文登记表"_gbk: a GBK byte string from a literal written in this UTF-8 source.
inline GbkString operator""_gbk(const char* text, std::size_t length)
{
    return utf8ToGbk(std::string_view(text, length));
}
} // namespace literals

} // namespace regdesk
