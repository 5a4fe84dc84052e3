#include "ThreePartBlock.h"

#include <algorithm>

namespace lattix {
namespace {

void appendLittleEndian16(Bytes& out, std::size_t value)
{
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

} // namespace

void ThreePartBlock::setText(ByteView text)
{
    const ByteView kept = text.first(std::min(text.size(), kMaxPartBytes));
    m_text.assign(kept.begin(), kept.end());
}

bool ThreePartBlock::fits(ByteView part) const
{
    const std::size_t total = m_text.size() + m_image.size() + m_other.size();
    return !part.empty() && total + part.size() < kMaxPartBytes;
}

void ThreePartBlock::addImage(ByteView image)
{
    if (fits(image))
        m_image.assign(image.begin(), image.end());
}

void ThreePartBlock::addOther(ByteView other)
{
    if (fits(other))
        m_other.assign(other.begin(), other.end());
}

Bytes ThreePartBlock::bytes() const
{
    Bytes out;
    out.reserve(m_text.size() + m_image.size() + m_other.size() + kTrailerBytes);
    out.insert(out.end(), m_text.begin(), m_text.end());
    out.insert(out.end(), m_image.begin(), m_image.end());
    out.insert(out.end(), m_other.begin(), m_other.end());
    appendLittleEndian16(out, m_other.size());
    appendLittleEndian16(out, m_image.size());
    appendLittleEndian16(out, m_text.size());
    out.push_back('N');
    out.push_back(0xFF);
    return out;
}

} // namespace lattix
