#pragma once

#include "desk/ModeSwitch.h"
#include "desk/OutgoingRegistration.h"
#include "desk/RegistrationSaver.h"
#include "desk/SqlOutgoingRegister.h"
#include "desk/SqlRegisterStore.h"

namespace regdesk {

class Clock;
class DesktopOpener;
class ExcelService;
class ProcessLauncher;
class ProcessList;
class Prompter;
class RegistrationView;

// The outside services the desk's controllers use, kept for the program's run.
struct DeskSeams
{
    ProcessLauncher& launcher;
    const ProcessList& processes;
    const Clock& clock;
    DesktopOpener& opener;
    // The printed list's LibreOffice: its template is converted once a run.
    ExcelService& excel;
};

// The controllers both registration forms share, over the registers on the
// active connection: the mode, saving, and the outgoing work with its barcode.
class DeskControllers
{
public:
    DeskControllers(RegistrationView& form, Prompter& prompter, const DeskSeams& seams);

    ModeSwitch& modes() { return m_modes; }
    RegistrationSaver& saver() { return m_saver; }
    OutgoingRegistration& outgoing() { return m_outgoing; }

private:
    SqlRegisterStore m_store;
    SqlOutgoingRegister m_outgoingRegister;
    ModeSwitch m_modes;
    RegistrationSaver m_saver;
    OutgoingRegistration m_outgoing;
};

} // namespace regdesk
