#pragma once

#include "desk/FormRecord.h"

#include <QObject>

namespace regdesk {

class Prompter;
class RegistrationView;

// The mode button of a registration form: asks before pending rows are
// dropped, reads the outgoing defaults from the settings and shows the other
// mode, announcing the change on the form's events (the scanner port
// follows it).
// A QObject only so that its connections end with it.
class ModeSwitch final : public QObject
{
public:
    ModeSwitch(RegistrationView& view, Prompter& prompter);

    // One press of the mode button; false when the clerk kept the rows.
    bool switchMode();
    // Shows `mode` as the switch does, without asking.
    void showMode(RegistrationMode mode);

private:
    RegistrationView& m_view;
    Prompter& m_prompter;
};

} // namespace regdesk
