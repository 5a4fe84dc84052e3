#pragma once

#include "barcode/EncoderHandoff.h"
#include "desk/RegistrationSaving.h"
#include "platform/Gbk.h"

#include <QObject>
#include <QTimer>
#include <optional>

namespace regdesk {

class ModeSwitch;
class OutgoingRegistration;
class Prompter;
class RegistrationSaver;
class RegistrationView;

// Add-in mode on a registration form: the word processor's document text
// fills the fields on timer 9, the confirmation starts the barcode at once,
// and once the registration is saved the picture's path goes back to the add-in
// in tempicpos.txt and the form closes.
//
// A registration that is not saved after the pick-up (the clerk declined to
// overwrite an earlier one of the same number, or the database refused it)
// hands nothing back: the form stays open with the row and offers 保存, so
// the clerk can save again or close without a registration.
class AddinRegistration final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kIntakeTimer = 9; // the form's timer id for the document-text intake
    static constexpr int kIntakeDelayMs = 100;
    // Where the add-in learns the picture's path, in the program directory.
    static constexpr const char* kPicturePositionFile = "tempicpos.txt";

    AddinRegistration(RegistrationView& view, Prompter& prompter, ModeSwitch& modes, OutgoingRegistration& outgoing,
                      RegistrationSaver& saver);

    // The form's start: outgoing registration at once, and timer 9 set (it
    // fires once the form is showing).
    void start();
    bool isIntakeTimerActive() const { return m_intakeTimer.isActive(); }

    // Timer 9's one tick: takes doctotxt.txt when there is one, else nothing.
    void takeDocumentText();

    // Whether a picked-up registration waits to be saved again.
    bool isWaitingForSave() const { return m_picture.has_value(); }

private:
    void pictureTaken(const EncoderHandoff::PickUp& pickUp, SaveOutcome saved);
    void settle(SaveOutcome saved);
    void handBack();

    RegistrationView& m_view;
    Prompter& m_prompter;
    ModeSwitch& m_modes;
    OutgoingRegistration& m_outgoing;
    QTimer m_intakeTimer;
    // The picture's path for a registration that is not saved yet, whether
    // or not the picture could be written.
    std::optional<GbkString> m_picture;
};

} // namespace regdesk
