#include "desk/PrompterNoticeBoard.h"

#include "platform/GbkQt.h"
#include "platform/Prompter.h"

namespace regdesk {

bool PrompterNoticeBoard::show(const DeskNotice& notice)
{
    Prompter::Message message{toQString(notice.text), toQString(notice.caption)};
    switch (notice.kind) {
    case DeskNotice::Kind::Message:
        break;
    case DeskNotice::Kind::Question:
        message.buttons = Prompter::Buttons::OkCancel;
        message.icon = Prompter::Icon::Question;
        break;
    case DeskNotice::Kind::CautiousQuestion:
        message.buttons = Prompter::Buttons::OkCancel;
        message.defaultAnswer = Prompter::Answer::Cancel;
        break;
    }
    return m_prompter.ask(m_owner, message) == Prompter::Answer::Ok;
}

} // namespace regdesk
