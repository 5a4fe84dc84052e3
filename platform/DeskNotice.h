#pragma once

#include "platform/Gbk.h"

namespace regdesk {

// A message box of the desk as the core sees it: GBK text and caption (an
// empty caption shows the program's name). The form turns it into a box.
struct DeskNotice
{
    enum class Kind
    {
        Message,          // OK button, no icon
        Question,         // OK and Cancel, question icon, OK by default
        CautiousQuestion, // OK and Cancel, no icon, Cancel by default
    };

    GbkString text;
    GbkString caption;
    Kind kind = Kind::Message;

    bool operator==(const DeskNotice&) const = default;
};

// Shows notices while an operation runs; true when the clerk chose OK.
class NoticeBoard
{
public:
    virtual ~NoticeBoard() = default;
    virtual bool show(const DeskNotice& notice) = 0;
};

} // namespace regdesk
