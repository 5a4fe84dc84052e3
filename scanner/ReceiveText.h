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
    // merely starts with the end mark does not hold a scan.
    bool hasEndMark() const { return m_hasEndMark; }

    const GbkString& text() const { return m_text; }
    bool isEmpty() const { return m_text.empty(); }

    // Returns the text and leaves it empty.
    GbkString take();
    void clear();

private:
    void findEndMarkFrom(std::size_t position);

    GbkString m_text;
    bool m_hasEndMark = false;
};

} // namespace regdesk
