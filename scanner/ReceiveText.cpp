#include "scanner/ReceiveText.h"

#include <utility>

namespace regdesk {
namespace {

constexpr std::string_view kEndMark = "^|";

} // namespace

void ReceiveText::append(std::string_view bytes)
{
    for (const char byte : bytes) {
        if (byte != '\0')
            m_text += byte;
    }
    if (m_text.size() > kCapacity) {
        m_text.erase(0, m_text.size() - kCapacity);
        // The mark seen before may have gone with the dropped bytes, or moved
        // to the very start, where it does not count.
        m_hasEndMark = false;
        m_searchFrom = 0;
    }
    if (!m_hasEndMark)
        findEndMark();
}

GbkString ReceiveText::take()
{
    GbkString text = std::exchange(m_text, {});
    m_hasEndMark = false;
    m_searchFrom = 0;
    return text;
}

void ReceiveText::clear()
{
    m_text.clear();
    m_hasEndMark = false;
    m_searchFrom = 0;
}

void ReceiveText::findEndMark()
{
    std::size_t found = findGbk(m_text, kEndMark, m_searchFrom);
    if (found == 0)
        found = findGbk(m_text, kEndMark, 1); // "^" is one byte: 1 is a boundary
    m_hasEndMark = found != GbkString::npos;
    if (m_hasEndMark)
        return;
    // Go on next time from the last character, which the next bytes may complete.
    for (std::size_t pos = m_searchFrom; pos < m_text.size(); pos += gbkCharLength(m_text, pos))
        m_searchFrom = pos;
}

} // namespace regdesk
