#pragma once

#include "desk/FormRecord.h"
#include "scanner/CMSComm.h"
#include "scanner/IncomingList.h"
#include "scanner/ScanIntake.h"
#include "scanner/ScannerPort.h"

#include <QObject>
#include <memory>

namespace regdesk {

class Prompter;
class RegistrationView;

// Incoming registration on the full form: the scanner port opens at start-up
// and with every switch to 收文登记, closes with the switch to 发文登记 and
// when the form closes; each completed scan becomes a row of the form's list.
class IncomingRegistration final : public QObject
{
    Q_OBJECT

public:
    IncomingRegistration(RegistrationView& view, Prompter& prompter, IncomingRegister& register_);
    ~IncomingRegistration() override;

    // The form's start-up: the port's whole open sequence, with its notice
    // when the scanner does not answer.
    void start();

    CMSComm& port() { return m_port; }
    ScannerPort& scanner() { return m_scanner; }
    ScanIntake& intake() { return m_intake; }

private:
    class ViewList;

    void followMode(RegistrationMode mode);

    RegistrationView& m_view;
    CMSComm m_port;
    std::unique_ptr<ViewList> m_list;
    ScannerPort m_scanner;
    ScanIntake m_intake;
};

} // namespace regdesk
