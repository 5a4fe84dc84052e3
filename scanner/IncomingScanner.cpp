#include "scanner/IncomingScanner.h"

#include "desk/RegistrationDialog.h"
#include "desk/RegistrationFormLogic.h"

#include <QDateEdit>

namespace regdesk {

// The form's registration list.
class IncomingScanner::FormList final : public IncomingList
{
public:
    explicit FormList(RegisterListCtrl& list) : m_list(list) {}

    int rowCount() const override { return m_list.rowCount(); }
    GbkString numberAt(int row) const override { return m_list.listModel().cellText(row, DocumentRecord::Number); }
    void appendRecord(const DocumentRecord& record) override
    {
        m_list.setUpdatesEnabled(false);
        m_list.listModel().appendRow(RegistrationFormLogic::toListRow(record));
        m_list.setUpdatesEnabled(true);
        m_list.viewport()->update();
    }

private:
    RegisterListCtrl& m_list;
};

// The form's window timers 3 and 4.
class IncomingScanner::FormTimers final : public NoticeTimers
{
public:
    explicit FormTimers(RegistrationDialog& form) : m_form(form) {}

    void start(int id, int intervalMs) override { m_form.startDeskTimer(id, intervalMs); }
    void stop(int id) override { m_form.stopDeskTimer(id); }
    bool isActive(int id) const override { return m_form.isDeskTimerActive(id); }

private:
    RegistrationDialog& m_form;
};

namespace {

QDate documentDateOf(const RegistrationDialog& form)
{
    // The 成文时期 picker: disabled in incoming mode, it keeps the date last
    // set in outgoing mode.
    if (const auto* picker = qobject_cast<const QDateEdit*>(form.control(RegistrationDialog::DocumentDatePicker)))
        return picker->date();
    return QDate::currentDate();
}

} // namespace

IncomingScanner::IncomingScanner(RegistrationDialog& form, Prompter& prompter)
    : m_form(form), m_list(std::make_unique<FormList>(form.registerList())),
      m_timers(std::make_unique<FormTimers>(form)), m_scanner(m_port, prompter, &form),
      m_intake(m_scanner.receiveText(), m_port, prompter, &form, *m_list, [&form] { return documentDateOf(form); })
{
    m_scanner.setNoticeTimers(m_timers.get());
    for (const int id : {ScannerPort::kFailureNoticeTimer, ScannerPort::kRecoveryNoticeTimer})
        form.setTimerHandler(id, [this, id] { m_scanner.closeNotice(id); });
    form.setScannerPortHooks({[this] { return openForForm(); }, [this] { m_port.setPortOpen(false); }});
    connect(&m_scanner, &ScannerPort::scanComplete, this, [this] { m_intake.takeScan(); });
}

IncomingScanner::~IncomingScanner()
{
    m_form.setScannerPortHooks({});
    for (const int id : {ScannerPort::kFailureNoticeTimer, ScannerPort::kRecoveryNoticeTimer}) {
        m_form.setTimerHandler(id, {});
        m_form.stopDeskTimer(id);
    }
    m_port.setPortOpen(false);
}

bool IncomingScanner::openForForm()
{
    // The whole open sequence runs once, when the form starts; the way back
    // from outgoing registration only opens the port again.
    if (!m_openedOnce) {
        m_openedOnce = true;
        m_scanner.openPort();
    } else {
        m_port.setPortOpen(true);
    }
    return m_port.portOpen();
}

} // namespace regdesk
