#include "desk/OutgoingRegistration.h"

#include "app/AppPaths.h"
#include "app/SettingsFile.h"
#include "barcode/BarcodePayload.h"
#include "desk/AdoOutgoingRegister.h"
#include "desk/AdoRegisterStore.h"
#include "desk/DocumentNumbering.h"
#include "desk/FormValidation.h"
#include "desk/RegistrationDialog.h"
#include "desk/RegistrationFormLogic.h"
#include "desk/RegistrationSaving.h"
#include "platform/DesktopOpener.h"
#include "platform/GbkQt.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace regdesk {
namespace {

CalendarDate calendarDate(const QDate& date)
{
    return {date.year(), date.month(), date.day()};
}

OutgoingFields outgoingFields(const RegistrationFields& form)
{
    OutgoingFields fields;
    fields.number = form.number;
    fields.title = form.title;
    fields.secrecy = form.secrecy;
    fields.issuingUnit = form.issuingUnit;
    fields.kind = form.kind;
    fields.recipient = form.recipient;
    fields.codeUnit = form.codeUnit;
    fields.urgency = form.urgency;
    fields.codeNumber = form.codeNumber;
    fields.level = form.level;
    fields.writer = form.drafter;
    fields.version = form.version;
    fields.documentDate = calendarDate(form.documentDate);
    fields.codeDate = calendarDate(form.codeDate);
    fields.lastTitle = form.lastTitle;
    return fields;
}

// The registration list as saving sees it.
class ListRows final : public PendingRows
{
public:
    explicit ListRows(RegisterListCtrl& list) : m_list(list) {}

    std::optional<int> firstSelectedRow() const override
    {
        const std::vector<int> rows = m_list.selectedRowNumbers();
        return rows.empty() ? std::nullopt : std::optional<int>(rows.front());
    }
    DocumentRecord record(int row) const override
    {
        return RegistrationFormLogic::fromListRow(m_list.listModel().rowCells(row));
    }
    void deselect(int row) override
    {
        m_list.selectionModel()->select(m_list.listModel().index(row, 0),
                                        QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    }
    void remove(int row) override { m_list.listModel().removeRows(row, 1); }

private:
    RegisterListCtrl& m_list;
};

SettingsFile currentSettings()
{
    return SettingsFile(AppPaths::settingsPath());
}

} // namespace

OutgoingRegistration::OutgoingRegistration(RegistrationDialog& form, ProcessLauncher& launcher,
                                           const ProcessList& processes, const Clock& clock, DesktopOpener& opener)
    : m_form(form), m_opener(opener), m_notices(form.prompter(), &form),
      m_handoff(AppPaths::programDirectory(), launcher, processes, clock)
{
    connect(&form, &RegistrationDialog::numberDropDownClosed, this, &OutgoingRegistration::chooseNumberPrefix);
    connect(&form, &RegistrationDialog::numberFocusLost, this, &OutgoingRegistration::proposeNextNumber);
    connect(&form, &RegistrationDialog::titleFocusLost, this, &OutgoingRegistration::checkTitle);
    connect(&form, &RegistrationDialog::confirmRequested, this, &OutgoingRegistration::confirmRegistration);
    connect(&form, &RegistrationDialog::makeBarcodeRequested, this, &OutgoingRegistration::startBarcode);
    connect(&form, &RegistrationDialog::saveRequested, this, &OutgoingRegistration::saveRegistrations);
    form.setTimerHandler(RegistrationDialog::EncoderTimer, [this] { pickUpBarcodeImage(); });
}

void OutgoingRegistration::showAll(const std::vector<DeskNotice>& notices, QWidget* owner)
{
    PrompterNoticeBoard board(m_form.prompter(), owner);
    for (const DeskNotice& notice : notices)
        board.show(notice);
}

void OutgoingRegistration::setCodeNumber(const GbkString& text)
{
    if (auto* edit = qobject_cast<QLineEdit*>(m_form.control(RegistrationDialog::CodeNumberEdit)))
        edit->setText(toQString(text));
}

void OutgoingRegistration::chooseNumberPrefix()
{
    QComboBox& combo = m_form.numberCombo();
    const int index = combo.currentIndex();
    if (index < 0)
        return;
    if (m_form.registerList().rowCount() > 0) {
        combo.setEditText(QString());
        setCodeNumber({});
        m_notices.show({"现有登记未完成"_gbk, "表内内容未保存"_gbk});
        return;
    }
    const GbkString prefix = fromQString(combo.itemText(index));
    const int year = m_form.fields().documentDate.year();
    AdoOutgoingRegister register_;
    const NumberingProposal proposal = DocumentNumbering::propose(
        prefix, m_form.numberPrefixes(), year, CodeNumberLayout::fromSettings(currentSettings()), register_);
    if (auto* label = qobject_cast<QLabel*>(m_form.control(RegistrationDialog::LastNumberLabel)))
        label->setText(toQString(proposal.lastNumber));
    if (auto* label = qobject_cast<QLabel*>(m_form.control(RegistrationDialog::LastTitleLabel)))
        label->setText(toQString(proposal.lastTitle));
    showAll(proposal.notices, &m_form);
    setCodeNumber(proposal.codeNumber);
}

void OutgoingRegistration::proposeNextNumber()
{
    const std::optional<GbkString> next = DocumentNumbering::nextNumber(m_form.fields().lastNumber);
    if (next)
        m_form.numberCombo().setEditText(toQString(*next));
}

void OutgoingRegistration::checkTitle()
{
    RegistrationFields fields = m_form.fields();
    if (fields.title.empty())
        return;
    const std::optional<GbkString> kind =
        FormValidation::kindOfTitle(fields.title, FormValidation::documentKinds(currentSettings()));
    if (!kind) {
        m_notices.show(FormValidation::titleErrorNotice());
        return;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(m_form.control(RegistrationDialog::KindEdit)))
        edit->setText(toQString(*kind));
}

void OutgoingRegistration::confirmRegistration()
{
    RegisterListCtrl& list = m_form.registerList();
    const ConfirmationResult result = FormValidation::confirm(outgoingFields(m_form.fields()), list.rowCount() > 0);
    showAll(result.notices, &m_form);
    if (!result.row)
        return;

    list.setUpdatesEnabled(false);
    list.listModel().appendRow(RegistrationFormLogic::toListRow(*result.row));
    const int row = list.rowCount() - 1;
    list.selectRow(row);
    list.scrollTo(list.listModel().index(row, 0));
    list.setFocus(Qt::OtherFocusReason);
    list.setUpdatesEnabled(true);
    list.viewport()->update();
}

void OutgoingRegistration::startBarcode()
{
    RegisterListCtrl& list = m_form.registerList();
    if (list.selectedRowNumbers().size() != 1) {
        m_notices.show({"请选中一行"_gbk, {}});
        return;
    }
    const QModelIndex mark = list.currentIndex();
    const int row = mark.isValid() ? mark.row() : list.selectedRowNumbers().front();
    const DocumentRecord record = RegistrationFormLogic::fromListRow(list.listModel().rowCells(row));
    if (const std::optional<DeskNotice> failure =
            m_handoff.start(BarcodePayload::buildPayload(record), currentSettings())) {
        m_form.stopDeskTimer(RegistrationDialog::EncoderTimer); // an earlier hand-off is given up too
        m_notices.show(*failure);
        return;
    }
    m_form.startDeskTimer(RegistrationDialog::EncoderTimer, kEncoderTickMs);
    list.listModel().setCellText(row, RegistrationFormLogic::kBarcodeMadeColumn, "是"_gbk);
}

void OutgoingRegistration::saveRegistrations()
{
    const std::optional<RegisterMode> mode = RegistrationSaving::modeOfTitle(fromQString(m_form.windowTitle()));
    if (!mode)
        return;
    RegisterListCtrl& list = m_form.registerList();
    ListRows rows(list);
    AdoRegisterStore store;
    if (RegistrationSaving::saveSelectedRows(*mode, rows, store, m_notices) == SaveOutcome::Finished) {
        setCodeNumber({});
        list.viewport()->update();
    }
}

void OutgoingRegistration::pickUpBarcodeImage()
{
    const EncoderHandoff::Poll poll = m_handoff.poll();
    if (poll.state == EncoderHandoff::State::Waiting) {
        if (poll.notice)
            showAll({*poll.notice}, nullptr); // "进程意外" has no owner window
        return;
    }
    m_form.stopDeskTimer(RegistrationDialog::EncoderTimer);
    if (poll.state == EncoderHandoff::State::Failed) {
        showAll({*poll.notice}, &m_form);
        return;
    }

    const RegisterListCtrl& list = m_form.registerList();
    const GbkString firstNumber = list.rowCount() > 0 ? list.listModel().cellText(0, 0) : GbkString{};
    const EncoderHandoff::PickUp pickUp =
        m_handoff.pickUp(currentSettings(), firstNumber, [this] { saveRegistrations(); });
    showAll(pickUp.notices, &m_form);

    if (!AppPaths::documentPath().empty()) {
        // Add-in mode: the word processor learns where the picture is, and the form closes.
        writePicturePosition(AppPaths::programDirectory(), pickUp.outputPath);
        m_form.reject();
        return;
    }
    if (!pickUp.folder.empty())
        m_opener.openFolder(pickUp.folder);
}

} // namespace regdesk
