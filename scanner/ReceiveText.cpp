#include "scanner/ReceiveText.h"

#include <utility>

namespace regdesk {
namespace {

constexpr std::string_view kEndMark = "^|";

} // namespace

void ReceiveText::append(std::string_view bytes)
{
    const std::size_t oldSize = m_text.size();
    for (const char byte : bytes) {
        if (byte != '\0')
            m_text += byte;
    }
    if (m_text.size() > kCapacity) {
        m_text.erase(0, m_text.size() - kCapacity);
        // The mark seen before may have gone with the dropped bytes, or moved
        // to the very start, where it does not count.
        m_hasEndMark = false;
        findEndMarkFrom(1);
        return;
    }
    // The mark may straddle the old end and the new bytes.
    if (!m_hasEndMark)
        findEndMarkFrom(oldSize > 1 ? oldSize - 1 : 1);
}

GbkString ReceiveText::take()
{
    GbkString text = std::exchange(m_text, {});
    m_hasEndMark = false;
    return text;
}

void ReceiveText::clear()
{
    m_text.clear();
    m_hasEndMark = false;
}

void ReceiveText::findEndMarkFrom(std::size_t position)
{
    m_hasEndMark = m_text.find(kEndMark, position) != GbkString::npos;
}

} // namespace regdesk
