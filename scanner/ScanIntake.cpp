#include "scanner/ScanIntake.h"

#include "db/AdoRecordset.h"
#include "db/RegisterStatements.h"
#include "platform/GbkQt.h"
#include "platform/Prompter.h"
#include "scanner/CMSComm.h"
#include "scanner/IncomingList.h"
#include "scanner/ReceiveText.h"
#include "scanner/ScanFields.h"

namespace regdesk {

bool SqlIncomingRegister::isRegistered(const GbkString& number)
{
    AdoRecordset recordset;
    recordset.openQuery(RegisterStatements::selectIncomingNumber(number));
    return recordset.recordCount() > 0;
}

ScanIntake::ScanIntake(ReceiveText& receiveText, CMSComm& port, Prompter& prompter, QWidget* owner, IncomingList& list,
                       IncomingRegister& register_, std::function<QDate()> documentDate)
    : m_receiveText(receiveText), m_port(port), m_prompter(prompter), m_owner(owner), m_list(list),
      m_register(register_), m_documentDate(std::move(documentDate))
{}

bool ScanIntake::takeScan()
{
    const bool accepted = takePayload(m_receiveText.take());
    // Bytes still waiting in the port go with the scan, taken or declined.
    m_port.setInputLen(0);
    m_port.input();
    return accepted;
}

bool ScanIntake::takePayload(std::string_view payload)
{
    const ScanFields fields = splitScan(payload);
    const GbkString& number = fields[kScanNumberPosition];
    const int rows = m_list.rowCount();

    bool accepted = true;
    for (int row = 0; accepted && row < rows; ++row) {
        if (m_list.numberAt(row) == number)
            accepted = confirm(QStringLiteral("发文号%1的文件已扫描，请确认是否继续?"), number);
    }
    if (accepted && m_register.isRegistered(number))
        accepted = confirm(QStringLiteral("发文号%1的文件已登记，请确认是否继续?"), number);
    if (accepted) {
        const QDate date = m_documentDate ? m_documentDate() : QDate::currentDate();
        m_list.appendRecord(recordFromScan(fields, eightDigitDate(date.year(), date.month(), date.day())));
    }
    return accepted;
}

bool ScanIntake::confirm(const QString& format, const GbkString& number)
{
    const Prompter::Message question{format.arg(toQString(number)), QStringLiteral("系统提示"),
                                     Prompter::Buttons::OkCancel, Prompter::Icon::Question, Prompter::Answer::Ok};
    return m_prompter.ask(m_owner, question) == Prompter::Answer::Ok;
}

} // namespace regdesk
