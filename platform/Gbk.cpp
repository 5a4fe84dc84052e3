#include "platform/Gbk.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <memory>
#include <stdexcept>

namespace regdesk {
namespace {

class IconvHandle
{
public:
    IconvHandle(const char* to, const char* from) : m_handle(iconv_open(to, from))
    {
        if (m_handle == reinterpret_cast<iconv_t>(-1)) // NOLINT: iconv's documented failure value
            throw std::runtime_error("iconv cannot convert between GBK and UTF-8");
    }
    ~IconvHandle() { iconv_close(m_handle); }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;

    // Converts as much as possible; returns false where iconv stopped on a bad
    // or truncated sequence, leaving `in` at that place.
    bool convert(std::string_view& in, std::string& out)
    {
        iconv(m_handle, nullptr, nullptr, nullptr, nullptr);
        char buffer[4096];
        while (!in.empty()) {
            char* source = const_cast<char*>(in.data());
            std::size_t sourceLeft = in.size();
            char* target = buffer;
            std::size_t targetLeft = sizeof buffer;
            const std::size_t result = iconv(m_handle, &source, &sourceLeft, &target, &targetLeft);
            out.append(buffer, static_cast<std::size_t>(target - buffer));
            in.remove_prefix(in.size() - sourceLeft);
            if (result == static_cast<std::size_t>(-1) && errno != E2BIG)
                return false;
        }
        return true;
    }

private:
    iconv_t m_handle;
};

// Converters are created per thread: iconv handles carry shift state.
IconvHandle& gbkDecoder()
{
    thread_local IconvHandle handle("UTF-8", "CP936");
    return handle;
}

IconvHandle& gbkEncoder()
{
    thread_local IconvHandle handle("CP936", "UTF-8");
    return handle;
}

std::size_t utf8SequenceLength(std::string_view text)
{
    const auto lead = static_cast<unsigned char>(text.front());
    std::size_t length = 1;
    if (lead >= 0xF0)
        length = 4;
    else if (lead >= 0xE0)
        length = 3;
    else if (lead >= 0xC0)
        length = 2;
    return std::min(length, text.size());
}

bool isAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool isWellFormedPair(std::string_view gbk)
{
    if (gbk.size() < 2)
        return false;
    const auto lead = static_cast<unsigned char>(gbk[0]);
    const auto trail = static_cast<unsigned char>(gbk[1]);
    return lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F;
}

void appendEscapedByte(std::string& out, unsigned char byte)
{
    out += static_cast<char>(0xEF);
    out += static_cast<char>(0x9C + (byte >> 6));
    out += static_cast<char>(0x80 + (byte & 0x3F));
}

} // namespace

std::string gbkToUtf8(std::string_view gbk)
{
    if (isAscii(gbk))
        return std::string(gbk);
    std::string out;
    out.reserve(gbk.size() * 3 / 2);
    while (!gbk.empty()) {
        if (gbkDecoder().convert(gbk, out))
            break;
        // Keep the offending bytes as escape characters and go on: a lead
        // byte with a well-formed trail (an unmapped character) is skipped as
        // a pair to stay in step; anything else one byte at a time, since its
        // follower may start a good character.
        const std::size_t skip = isWellFormedPair(gbk) ? 2 : 1;
        for (std::size_t i = 0; i < skip; ++i)
            appendEscapedByte(out, static_cast<unsigned char>(gbk[i]));
        gbk.remove_prefix(skip);
    }
    return out;
}

GbkString utf8ToGbk(std::string_view utf8)
{
    if (isAscii(utf8))
        return GbkString(utf8);
    GbkString out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        if (gbkEncoder().convert(utf8, out))
            break;
        const std::size_t length = utf8SequenceLength(utf8);
        const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
        if (length == 3 && bytes[0] == 0xEF && bytes[1] >= 0x9C && bytes[1] <= 0x9F)
            out += static_cast<char>(((bytes[1] - 0x9C) << 6) | (bytes[2] & 0x3F)); // an escaped GBK byte
        else
            out += '?';
        utf8.remove_prefix(length);
    }
    return out;
}

bool isValidGbk(std::string_view gbk)
{
    std::string ignored;
    return gbkDecoder().convert(gbk, ignored);
}

std::size_t gbkCharLength(std::string_view gbk, std::size_t pos)
{
    return isWellFormedPair(gbk.substr(pos)) ? 2 : 1;
}

std::size_t findGbk(std::string_view gbk, std::string_view needle, std::size_t from)
{
    if (needle.empty())
        return from <= gbk.size() ? from : std::string_view::npos;
    for (std::size_t pos = from; pos + needle.size() <= gbk.size(); pos += gbkCharLength(gbk, pos)) {
        if (gbk.compare(pos, needle.size(), needle) == 0)
            return pos;
    }
    return std::string_view::npos;
}

std::size_t rfindGbk(std::string_view gbk, std::string_view needle)
{
    std::size_t last = std::string_view::npos;
    for (std::size_t pos = findGbk(gbk, needle); pos != std::string_view::npos && !needle.empty();
         pos = findGbk(gbk, needle, pos + gbkCharLength(gbk, pos)))
        last = pos;
    return last;
}

std::size_t findFirstOfGbk(std::string_view gbk, std::string_view asciiSet, std::size_t from)
{
    for (std::size_t pos = from; pos < gbk.size(); pos += gbkCharLength(gbk, pos)) {
        if (asciiSet.find(gbk[pos]) != std::string_view::npos)
            return pos;
    }
    return std::string_view::npos;
}

} // namespace regdesk
