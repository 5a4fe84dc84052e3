#pragma once

#include "Bytes.h"

#include <cstddef>
#include <optional>

namespace lattix {

// The block MakePdf417 encodes: text, image and other part, then an 8-byte trailer
// (O, I, T as 16-bit little-endian lengths, 'N', 0xFF) by which a reader splits it again.
class ThreePartBlock
{
public:
    static constexpr std::size_t kMaxPartBytes = 2702;
    static constexpr std::size_t kTrailerBytes = 8;
    // Size of the library's input buffer: the largest block.
    static constexpr std::size_t kInputBufferBytes = kMaxPartBytes + kTrailerBytes;

    // The text part is cut to kMaxPartBytes; the image and other parts are taken whole, and only while
    // the total stays below kMaxPartBytes. An empty part is an absent one.
    void setText(ByteView text);
    void addImage(ByteView image);
    void addOther(ByteView other);

    bool isEmpty() const { return m_text.empty() && m_image.empty() && m_other.empty(); }
    std::size_t textSize() const { return m_text.size(); }
    std::size_t imageSize() const { return m_image.size(); }
    std::size_t otherSize() const { return m_other.size(); }

    // The parts followed by the trailer.
    Bytes bytes() const;

private:
    bool fits(ByteView part) const;

    Bytes m_text;
    Bytes m_image;
    Bytes m_other;
};

} // namespace lattix
