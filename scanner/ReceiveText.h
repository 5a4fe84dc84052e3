#pragma once

#include "platform/Gbk.h"

#include <cstddef>
#include <string_view>

namespace regdesk {

// The bytes gathered from the scanner until a whole scan has arrived.
class ReceiveText
{
public:
    // A line that sends noise and never an end mark must not eat the memory:
    // beyond this the oldest bytes go.
    static constexpr std::size_t kCapacity = std::size_t{1} << 20;

    // Appends the bytes one by one; a zero byte adds nothing.
    void append(std::string_view bytes);

    // True when "^|" stands somewhere after the very first byte: a text that
    // merely starts with the end mark does not hold a scan. The text is read
    // as GBK characters: a "^" that is the second byte of one (區 is 85 5E) is
    // no part of a mark.
    bool hasEndMark() const { return m_hasEndMark; }

    const GbkString& text() const { return m_text; }
    bool isEmpty() const { return m_text.empty(); }

    // Returns the text and leaves it empty.
    GbkString take();
    void clear();

private:
    void findEndMark();

    GbkString m_text;
    bool m_hasEndMark = false;
    // A character boundary from which the search goes on: the start of the
    // last character seen, which may still be waiting for its second byte or
    // be a "^" waiting for its "|".
    std::size_t m_searchFrom = 0;
};

} // namespace regdesk
