#include "desk/OutgoingRegistration.h"

#include "barcode/BarcodePayload.h"
#include "desk/DocumentNumbering.h"
#include "desk/FormValidation.h"
#include "desk/PrompterNoticeBoard.h"
#include "desk/RegisterRows.h"
#include "desk/RegistrationEvents.h"
#include "desk/RegistrationSaver.h"
#include "desk/RegistrationView.h"
#include "platform/DesktopOpener.h"
#include "platform/DiagnosticsLog.h"
#include "platform/FileSystem.h"
#include "settings/AppPaths.h"
#include "settings/SettingsFile.h"

#include <QDebug>

namespace regdesk {
namespace {

SettingsFile currentSettings()
{
    return SettingsFile(AppPaths::settingsPath());
}

} // namespace

OutgoingRegistration::OutgoingRegistration(RegistrationView& view, Prompter& prompter, OutgoingRegister& register_,
                                           RegistrationSaver& saver, ProcessLauncher& launcher,
                                           const ProcessList& processes, const Clock& clock, DesktopOpener& opener)
    : m_view(view), m_prompter(prompter), m_register(register_), m_saver(saver), m_opener(opener),
      m_handoff(AppPaths::programDirectory(), launcher, processes, clock, AppPaths::programsFolder())
{
    const RegistrationEvents& events = view.events();
    connect(&events, &RegistrationEvents::numberDropDownClosed, this, &OutgoingRegistration::chooseNumberPrefix);
    connect(&events, &RegistrationEvents::numberFocusLost, this, &OutgoingRegistration::proposeNextNumber);
    connect(&events, &RegistrationEvents::titleFocusLost, this, &OutgoingRegistration::checkTitle);
    connect(&events, &RegistrationEvents::confirmRequested, this, &OutgoingRegistration::confirmRegistration);
    connect(&events, &RegistrationEvents::makeBarcodeRequested, this, &OutgoingRegistration::startBarcode);
    m_encoderTimer.setInterval(kEncoderTickMs);
    connect(&m_encoderTimer, &QTimer::timeout, this, &OutgoingRegistration::pickUpBarcodeImage);
    connect(&saver, &RegistrationSaver::finished, this, &OutgoingRegistration::writeHeldPicture);
}

void OutgoingRegistration::showAll(const std::vector<DeskNotice>& notices, QWidget* owner)
{
    PrompterNoticeBoard board(m_prompter, owner);
    for (const DeskNotice& notice : notices)
        board.show(notice);
}

void OutgoingRegistration::chooseNumberPrefix()
{
    const std::optional<GbkString> prefix = m_view.chosenNumberPrefix();
    if (!prefix)
        return;
    if (m_view.rows().rowCount() > 0) {
        m_view.proposeNumber({});
        m_view.setCodeNumber({});
        showAll({{"现有登记未完成"_gbk, "表内内容未保存"_gbk}}, m_view.boxOwner());
        return;
    }
    const NumberingProposal proposal =
        DocumentNumbering::propose(*prefix, m_view.numberPrefixes(), m_view.documentDate().year(),
                                   CodeNumberLayout::fromSettings(currentSettings()), m_register);
    m_view.showLastNumber(proposal.lastNumber, proposal.lastTitle);
    showAll(proposal.notices, m_view.boxOwner());
    m_view.setCodeNumber(proposal.codeNumber);
}

void OutgoingRegistration::proposeNextNumber()
{
    const std::optional<GbkString> next = DocumentNumbering::nextNumber(m_view.currentRecord().lastNumber);
    if (next)
        m_view.proposeNumber(*next);
}

void OutgoingRegistration::checkTitle()
{
    const GbkString title = m_view.currentRecord().document[DocumentRecord::Title];
    if (title.empty())
        return;
    const std::optional<GbkString> kind =
        FormValidation::kindOfTitle(title, FormValidation::documentKinds(currentSettings()));
    if (!kind) {
        showAll({FormValidation::titleErrorNotice()}, m_view.boxOwner());
        return;
    }
    m_view.setKind(*kind);
}

bool OutgoingRegistration::confirmRegistration()
{
    RegisterRows& rows = m_view.rows();
    const ConfirmationResult result = FormValidation::confirm(m_view.currentRecord(), rows.rowCount() > 0);
    showAll(result.notices, m_view.boxOwner());
    if (!result.row)
        return false;
    rows.append(*result.row);
    const int row = rows.rowCount() - 1;
    rows.selectOnly(row);
    emit rowConfirmed(row);
    return true;
}

void OutgoingRegistration::startBarcode()
{
    RegisterRows& rows = m_view.rows();
    const std::vector<int> selected = rows.selectedRows();
    if (selected.size() != 1) {
        showAll({{"请选中一行"_gbk, {}}}, m_view.boxOwner());
        return;
    }
    const int row = rows.markedRow().value_or(selected.front());
    if (const std::optional<DeskNotice> failure =
            m_handoff.start(BarcodePayload::buildPayload(rows.record(row)), currentSettings())) {
        m_encoderTimer.stop(); // an earlier hand-off is given up too
        showAll({*failure}, m_view.boxOwner());
        return;
    }
    m_handedOffNumber = rows.record(row)[DocumentRecord::Number];
    m_handedOffMark = rows.record(row).barcodeMade;
    m_encoderTimer.start();
    rows.markBarcodeMade(row);
}

void OutgoingRegistration::pickUpBarcodeImage()
{
    const EncoderHandoff::Poll poll = m_handoff.poll();
    if (poll.state == EncoderHandoff::State::Waiting) {
        if (poll.notice)
            showAll({*poll.notice}, nullptr); // "进程意外" has no owner window
        return;
    }
    m_encoderTimer.stop();
    if (poll.state == EncoderHandoff::State::Failed) {
        showAll({*poll.notice}, m_view.boxOwner());
        return;
    }

    const RegisterRows& rows = m_view.rows();
    const GbkString firstNumber = rows.rowCount() > 0 ? rows.record(0)[DocumentRecord::Number] : GbkString{};
    SaveOutcome saved = SaveOutcome::NothingSelected;
    const EncoderHandoff::PickUp pickUp = m_handoff.pickUp(currentSettings(), firstNumber, [this, &saved] {
        saved = m_saver.saveSelectedRows();
        return m_saver.lastSaveRegistered(m_handedOffNumber);
    });
    showAll(pickUp.notices, m_view.boxOwner());
    if (pickUp.selfCheckFailure) {
        rejectPicture(*pickUp.selfCheckFailure);
        return;
    }
    if (pickUp.heldPicture) {
        m_heldPicture = HeldPicture{m_handedOffNumber, pickUp.outputPath, *pickUp.heldPicture};
        showAll({{"发文号"_gbk + m_handedOffNumber + "未登记，原有的条码图片未替换：\r\n"_gbk + pickUp.outputPath +
                      "\r\n保存登记后写入新的条码图片。"_gbk,
                  {}}},
                m_view.boxOwner());
    }
    if (m_opensOutputFolder && !pickUp.folder.empty())
        m_opener.openFolder(pickUp.folder);
    emit barcodePickedUp(pickUp, saved);
}

// The picture did not hold what the desk handed over: it was deleted and
// nothing was saved. The row is as before 生成条码, and nothing goes to an
// add-in, whose form stays open.
void OutgoingRegistration::rejectPicture(const GbkString& reason)
{
    qWarning().noquote() << QStringLiteral("条码自检失败，发文号 %1：%2")
                                .arg(QString::fromUtf8(gbkToUtf8(m_handedOffNumber)),
                                     QString::fromUtf8(gbkToUtf8(reason)));
    DiagnosticsLog::forDesk(AppPaths::programDirectory(), "regdesk")
        .write(LogPriority::Error,
               "barcode self-check failed for " + gbkToUtf8(m_handedOffNumber) + ": " + gbkToUtf8(reason));
    RegisterRows& rows = m_view.rows();
    for (int row = 0; row < rows.rowCount(); ++row) {
        if (rows.record(row)[DocumentRecord::Number] == m_handedOffNumber) {
            rows.restoreBarcodeMade(row, m_handedOffMark);
            break;
        }
    }
}

void OutgoingRegistration::writeHeldPicture()
{
    if (!m_heldPicture || !m_saver.lastSaveRegistered(m_heldPicture->number))
        return;
    const HeldPicture held = std::move(*m_heldPicture);
    m_heldPicture.reset();
    if (!writeWholeFile(held.path, held.bytes)) {
        // The picture there shows the document this save replaced.
        removeFile(held.path);
        showAll({{"图像转化出错"_gbk, {}}}, m_view.boxOwner());
    }
}

} // namespace regdesk
