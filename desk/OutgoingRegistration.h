#pragma once

#include "barcode/EncoderHandoff.h"
#include "desk/RegistrationSaving.h"
#include "platform/DeskNotice.h"

#include <QObject>
#include <QTimer>
#include <optional>
#include <string>

namespace regdesk {

class Clock;
class DesktopOpener;
class OutgoingRegister;
class ProcessLauncher;
class ProcessList;
class Prompter;
class RegistrationSaver;
class RegistrationView;

// The outgoing work of a registration form: numbering on the number box, the
// title check, 发文信息确认, and 生成条码 with the pick-up of the picture on
// timer 1, which saves through the form's saver and then opens the output
// folder (an add-in run hands the picture back instead).
class OutgoingRegistration final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kEncoderTimer = 1; // the form's timer id for the encoder hand-off
    static constexpr int kEncoderTickMs = 100;

    OutgoingRegistration(RegistrationView& view, Prompter& prompter, OutgoingRegister& register_,
                         RegistrationSaver& saver, ProcessLauncher& launcher, const ProcessList& processes,
                         const Clock& clock, DesktopOpener& opener);

    // The handlers of the form's events.
    void chooseNumberPrefix(); // drop-down of 1242 closed
    void proposeNextNumber();  // 1242 lost the focus
    void checkTitle();         // 1238 lost the focus
    // 1308: true when the checks passed and the row was added.
    bool confirmRegistration();
    void startBarcode();       // 1256
    void pickUpBarcodeImage(); // a tick of timer 1

    // Timer 1 runs from 生成条码 until the picture has been picked up.
    bool isEncoderTimerActive() const { return m_encoderTimer.isActive(); }
    EncoderHandoff& handoff() { return m_handoff; }

    // Whether a pick-up ends by opening the output folder (the plain desk does).
    void setOpensOutputFolder(bool on) { m_opensOutputFolder = on; }

signals:
    // 发文信息确认 added `row` to the form's list (the add-in form goes on to
    // the barcode at once).
    void rowConfirmed(int row);
    // The picture of a hand-off has been picked up; `saved` is how the save
    // that ran with it ended.
    void barcodePickedUp(const regdesk::EncoderHandoff::PickUp& pickUp, regdesk::SaveOutcome saved);

private:
    void showAll(const std::vector<DeskNotice>& notices, QWidget* owner);
    void writeHeldPicture();
    void rejectPicture(const GbkString& reason);

    // A picture whose registration was not saved at its pick-up, while a
    // picture of that name belongs to the registered document.
    struct HeldPicture
    {
        GbkString number; // 发文号 of the registration it shows
        GbkString path;
        std::string bytes;
    };

    RegistrationView& m_view;
    Prompter& m_prompter;
    OutgoingRegister& m_register;
    RegistrationSaver& m_saver;
    DesktopOpener& m_opener;
    EncoderHandoff m_handoff;
    QTimer m_encoderTimer;
    bool m_opensOutputFolder = true;
    GbkString m_handedOffNumber;
    GbkString m_handedOffMark; // its 条码已打 before the hand-off
    std::optional<HeldPicture> m_heldPicture;
};

} // namespace regdesk
