#pragma once

#include "scanner/CMSComm.h"
#include "scanner/IncomingList.h"
#include "scanner/ScanIntake.h"
#include "scanner/ScannerPort.h"

#include <QObject>

namespace regdesk {

class Prompter;
class RegistrationDialog;

// The scanner as the full registration form drives it: the form's port hooks
// run the open sequence at start-up, close the port in outgoing mode and on
// closing, and reopen it on the way back; the form's timers 3 and 4 close the
// hardware notices; each completed scan becomes a row of its list.
//
// Made after the form and gone before it (it detaches itself on the way out).
class IncomingScanner final : public QObject
{
    Q_OBJECT

public:
    IncomingScanner(RegistrationDialog& form, Prompter& prompter);
    ~IncomingScanner() override;

    CMSComm& port() { return m_port; }
    ScannerPort& scanner() { return m_scanner; }
    ScanIntake& intake() { return m_intake; }

private:
    class FormList;
    class FormTimers;

    bool openForForm();

    RegistrationDialog& m_form;
    CMSComm m_port;
    std::unique_ptr<FormList> m_list;
    std::unique_ptr<FormTimers> m_timers;
    ScannerPort m_scanner;
    ScanIntake m_intake;
    bool m_openedOnce = false;
};

} // namespace regdesk
