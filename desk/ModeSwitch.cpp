#include "desk/ModeSwitch.h"

#include "desk/RegisterRows.h"
#include "desk/RegistrationEvents.h"
#include "desk/RegistrationView.h"
#include "platform/Prompter.h"
#include "settings/AppPaths.h"
#include "settings/SettingsFile.h"

namespace regdesk {

ModeSwitch::ModeSwitch(RegistrationView& view, Prompter& prompter) : m_view(view), m_prompter(prompter)
{
    connect(&view.events(), &RegistrationEvents::modeSwitchRequested, this, [this] { switchMode(); });
}

bool ModeSwitch::switchMode()
{
    RegisterRows& rows = m_view.rows();
    if (RegistrationFormLogic::switchNeedsConfirmation(rows.rowCount())) {
        const Prompter::Answer answer =
            m_prompter.ask(m_view.boxOwner(),
                           Prompter::Message{QStringLiteral("是否仍要继续"), QStringLiteral("现有登记未完成"),
                                             Prompter::Buttons::YesNo, Prompter::Icon::Question, Prompter::Answer::No});
        if (answer != Prompter::Answer::Yes)
            return false;
        rows.clear();
    }
    showMode(RegistrationFormLogic::otherMode(m_view.mode()));
    return true;
}

void ModeSwitch::showMode(RegistrationMode mode)
{
    // The defaults are read at each switch, so an edited document.ini counts at once.
    RegistrationFormLogic::OutgoingDefaults defaults;
    if (mode == RegistrationMode::Outgoing)
        defaults = RegistrationFormLogic::outgoingDefaults(SettingsFile(AppPaths::settingsPath()));
    m_view.showMode(mode, defaults);
    emit m_view.events().modeChanged(mode);
}

} // namespace regdesk
