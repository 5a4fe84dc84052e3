#include "desk/AddinRegistration.h"

#include "desk/DocumentTextIntake.h"
#include "desk/FormValidation.h"
#include "desk/ModeSwitch.h"
#include "desk/OutgoingRegistration.h"
#include "desk/RegisterRows.h"
#include "desk/RegistrationEvents.h"
#include "desk/RegistrationSaver.h"
#include "desk/RegistrationView.h"
#include "platform/FileSystem.h"
#include "platform/GbkQt.h"
#include "platform/Prompter.h"
#include "settings/AppPaths.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsKeys.h"

#include <cstring>

namespace regdesk {

AddinRegistration::AddinRegistration(RegistrationView& view, Prompter& prompter, ModeSwitch& modes,
                                     OutgoingRegistration& outgoing, RegistrationSaver& saver)
    : m_view(view), m_prompter(prompter), m_modes(modes), m_outgoing(outgoing)
{
    outgoing.setOpensOutputFolder(false);
    m_intakeTimer.setSingleShot(true);
    m_intakeTimer.setInterval(kIntakeDelayMs);
    connect(&m_intakeTimer, &QTimer::timeout, this, &AddinRegistration::takeDocumentText);

    const RegistrationEvents& events = view.events();
    // Queued: the focus is still changing hands while the number box hears of its loss.
    connect(
        &events, &RegistrationEvents::numberFocusLost, this, [this] { m_view.focusConfirmation(); },
        Qt::QueuedConnection);
    connect(&events, &RegistrationEvents::closing, &m_intakeTimer, &QTimer::stop);
    connect(&outgoing, &OutgoingRegistration::rowConfirmed, &outgoing, &OutgoingRegistration::startBarcode);
    connect(&outgoing, &OutgoingRegistration::barcodePickedUp, this, &AddinRegistration::pictureTaken);
    connect(&saver, &RegistrationSaver::finished, this, [this](SaveOutcome saved) {
        // A repeated save settles the waiting registration; the save inside the
        // pick-up comes before the picture and is settled with it.
        if (m_picture)
            settle(saved);
    });
}

void AddinRegistration::start()
{
    m_modes.showMode(RegistrationMode::Outgoing);
    m_intakeTimer.start();
}

void AddinRegistration::takeDocumentText()
{
    m_intakeTimer.stop();
    const SettingsFile settings(AppPaths::settingsPath());
    const std::optional<DocumentText> text =
        DocumentTextIntake::takeFile(AppPaths::programDirectory(), settings.getString(SettingsKeys::kIssuingUnit),
                                     m_view.numberPrefixes(), FormValidation::documentKinds(settings));
    if (!text)
        return;
    // As if the clerk had picked the prefix and left the number box.
    m_view.selectNumberPrefix(text->prefixIndex);
    m_outgoing.chooseNumberPrefix();
    m_outgoing.proposeNextNumber();
    m_view.focusConfirmation();
    m_view.setRecipient(text->recipients);
    m_view.setTitle(text->title);
    m_outgoing.checkTitle();
}

void AddinRegistration::pictureTaken(const EncoderHandoff::PickUp& pickUp, SaveOutcome saved)
{
    // A held picture is written once the registration is saved.
    m_picture = pickUp.outputPath;
    settle(saved);
}

void AddinRegistration::settle(SaveOutcome saved)
{
    RegisterRows& rows = m_view.rows();
    // The compact form holds one registration: saved, it has left the list.
    if (saved == SaveOutcome::Finished && rows.rowCount() == 0) {
        handBack();
        return;
    }
    if (rows.rowCount() == 0) {
        // The clerk deleted the row before its picture came: nothing was
        // registered and nothing is handed back; a new confirmation may follow.
        m_picture.reset();
        return;
    }
    rows.selectOnly(0);
    m_view.offerSave();
    m_prompter.inform(
        m_view.boxOwner(),
        QStringLiteral("登记未保存，条码图片没有交回文字处理软件。\n请按“保存”再次登记，或关闭窗口放弃登记。"));
}

void AddinRegistration::handBack()
{
    const GbkString picture = *m_picture;
    m_picture.reset();
    // The path goes back also when the picture could not be written (the
    // clerk was told "图像转化出错"): no file is left under that name, so the
    // add-in finds none, where the path of an earlier run would give it
    // another document's barcode.
    const GbkString file = AppPaths::besideProgram(kPicturePositionFile);
    if (const int error = replaceFile(file, picture + "\r\n"); error != 0) {
        m_prompter.inform(m_view.boxOwner(),
                          QStringLiteral("无法写入%1：%2\n条码图片在%3")
                              .arg(toQString(file), QString::fromLocal8Bit(std::strerror(error)), toQString(picture)));
    }
    m_view.closeForm();
}

} // namespace regdesk
