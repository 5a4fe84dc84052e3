#pragma once

#include "barcode/EncoderHandoff.h"
#include "desk/PrompterNoticeBoard.h"
#include "platform/Clock.h"
#include "platform/ProcessLauncher.h"
#include "platform/ProcessList.h"
#include "platform/QtDesktopOpener.h"

#include <QObject>

namespace regdesk {

class DesktopOpener;
class RegistrationDialog;

// The outgoing work of the registration form: numbering on the number combo,
// the title check, 发文信息确认, 生成条码 with the pick-up on timer 1, and 保存
// (both modes). It listens to the form's signals; the form keeps no state of it.
class OutgoingRegistration final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kEncoderTickMs = 100;

    OutgoingRegistration(RegistrationDialog& form, ProcessLauncher& launcher, const ProcessList& processes,
                         const Clock& clock, DesktopOpener& opener);

    // Handlers, public so that tests can drive them as the form's events would.
    void chooseNumberPrefix();  // drop-down of 1242 closed
    void proposeNextNumber();   // 1242 lost the focus
    void checkTitle();          // 1238 lost the focus
    void confirmRegistration(); // 1308 发文信息确认
    void startBarcode();        // 1256 生成条码
    void saveRegistrations();   // 1025 保存
    void pickUpBarcodeImage();  // a tick of timer 1

    EncoderHandoff& handoff() { return m_handoff; }

private:
    void showAll(const std::vector<DeskNotice>& notices, QWidget* owner);
    void setCodeNumber(const GbkString& text);

    RegistrationDialog& m_form;
    DesktopOpener& m_opener;
    PrompterNoticeBoard m_notices;
    EncoderHandoff m_handoff;
};

// The real seams for the running program, owned in one place.
struct DesktopSeams
{
    PosixProcessLauncher launcher;
    ProcProcessList processes;
    SteadyClock clock;
    QtDesktopOpener opener;
};

} // namespace regdesk
