#pragma once

#include "platform/DeskNotice.h"

class QWidget;

namespace regdesk {

class Prompter;

// Shows the core's notices as the form's message boxes.
class PrompterNoticeBoard final : public NoticeBoard
{
public:
    PrompterNoticeBoard(Prompter& prompter, QWidget* owner) : m_prompter(prompter), m_owner(owner) {}

    bool show(const DeskNotice& notice) override;

private:
    Prompter& m_prompter;
    QWidget* m_owner;
};

} // namespace regdesk
