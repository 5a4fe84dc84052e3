#pragma once

#include "desk/IncomingRegistration.h"
#include "desk/ModeSwitch.h"
#include "desk/OutgoingRegistration.h"
#include "desk/RegistrationSaver.h"
#include "desk/SqlOutgoingRegister.h"
#include "desk/SqlRegisterStore.h"
#include "scanner/IncomingList.h"

namespace regdesk {

class Clock;
class DesktopOpener;
class ProcessLauncher;
class ProcessList;
class Prompter;
class RegistrationView;

// The outside services the desk's controllers use.
struct DeskSeams
{
    ProcessLauncher& launcher;
    const ProcessList& processes;
    const Clock& clock;
    DesktopOpener& opener;
};

// The full registration form's controllers over the registers on the active
// connection: who handles what the clerk does on the form.
class RegistrationDesk
{
public:
    RegistrationDesk(RegistrationView& form, Prompter& prompter, const DeskSeams& seams);

    ModeSwitch& modes() { return m_modes; }
    RegistrationSaver& saver() { return m_saver; }
    OutgoingRegistration& outgoing() { return m_outgoing; }
    IncomingRegistration& incoming() { return m_incoming; }

private:
    SqlRegisterStore m_store;
    SqlOutgoingRegister m_outgoingRegister;
    SqlIncomingRegister m_incomingRegister;
    ModeSwitch m_modes;
    RegistrationSaver m_saver;
    OutgoingRegistration m_outgoing;
    IncomingRegistration m_incoming;
};

} // namespace regdesk
