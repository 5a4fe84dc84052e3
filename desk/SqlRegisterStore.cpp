#include "desk/SqlRegisterStore.h"

#include "db/AdoDatabase.h"
#include "db/AdoRecordset.h"
#include "db/AuditTrail.h"
#include "db/NumberClaims.h"
#include "db/RegisterRecords.h"
#include "db/RegisterStatements.h"
#include "db/TransactionGuard.h"
#include "desk/FormAttachment.h"
#include "platform/GbkQt.h"
#include "platform/Prompter.h"

#include <QSqlDatabase>
#include <algorithm>

namespace regdesk {
namespace {

bool run(const GbkString& sql)
{
    AdoRecordset statement;
    return statement.openQuery(sql);
}

void tell(const DbConnection& connection, const QString& text)
{
    connection.prompter().ask(nullptr, Prompter::Message{text, QStringLiteral("系统提示")});
}

} // namespace

std::optional<std::vector<GbkString>> SqlRegisterStore::recordsOf(const GbkString& table, const GbkString& number)
{
    AdoRecordset records;
    if (!records.openQuery(RegisterStatements::selectRecordsOfNumber(table, number)))
        return std::nullopt;
    std::vector<GbkString> found;
    const int columns = records.fieldCount();
    for (records.moveFirst(); !records.isEof(); records.moveNext()) {
        GbkString record;
        for (int i = 0; i < columns; ++i)
            record += records.fieldText(i) + '\x1f';
        found.push_back(std::move(record));
    }
    std::sort(found.begin(), found.end());
    return found;
}

bool SqlRegisterStore::isRegistered(const GbkString& table, const GbkString& number)
{
    std::vector<GbkString> records = recordsOf(table, number).value_or(std::vector<GbkString>{});
    const bool registered = !records.empty();
    m_seen[{table, number}] = std::move(records);
    return registered;
}

bool SqlRegisterStore::insert(const GbkString& table, const DocumentRecord& record, bool outgoing, bool replaceExisting)
{
    const GbkString& number = record[DocumentRecord::Number];
    // What the clerk saw stays valid until a save changes the register.
    const auto found = m_seen.find({table, number});
    const std::vector<GbkString> seen = found != m_seen.end() ? found->second : std::vector<GbkString>{};
    const std::shared_ptr<DbConnection> connection = AdoDatabase::activeConnection();
    WriteTransaction unit(connection);
    if (!unit.isOpen())
        return false;

    NumberClaims claims(connection);
    if (outgoing) {
        if (!claims.forgetEndedDesks())
            return false;
        const std::optional<QString> holder = claims.holder(NumberClaims::kDocumentNumber, number);
        if (holder && !holder->isEmpty() && *holder != connection->session()) {
            tell(*connection, QStringLiteral("发文号%1已由另一登记台取用，本条登记未保存。").arg(toQString(number)));
            return false;
        }
    }
    const std::optional<std::vector<GbkString>> now = recordsOf(table, number);
    if (!now)
        return false;
    // Only what the clerk saw may be replaced, and nothing saved since may be doubled.
    if (*now != (replaceExisting ? seen : std::vector<GbkString>{})) {
        tell(*connection, QStringLiteral("发文号%1的文件刚由另一登记台登记，本条登记未保存。").arg(toQString(number)));
        return false;
    }
    const GbkString insertion = outgoing ? RegisterStatements::insertOutgoing(table, record)
                                         : RegisterStatements::insertIncoming(table, record);
    if (replaceExisting) {
        // The records that go are kept in the trail, in this transaction.
        const QSqlDatabase database = QSqlDatabase::database(connection->name(), false);
        std::vector<qint64> replaced;
        QString failure = RegisterRecords(database).ofNumber(table, number, replaced);
        if (failure.isEmpty())
            failure =
                AuditTrail(database).recordRows(AuditTrail::Action::ReplaceRegistration, toQString(table), replaced);
        if (!failure.isEmpty()) {
            tell(*connection, QStringLiteral("发文号%1的原有登记未被覆盖，本条登记未保存：\n%2")
                                  .arg(toQString(number), RegisterRecords::logFailure(failure)));
            return false;
        }
        if (!run(RegisterStatements::deleteNumber(table, number)))
            return false;
    }
    if (!run(insertion))
        return false;
    if ((outgoing && !claims.settle(number, record[DocumentRecord::CodeNumber], record.barcodeMade == "是"_gbk)) ||
        !unit.commit())
        return false;
    m_seen.erase({table, number});
    return true;
}

GbkString SqlRegisterStore::attachFile(const GbkString& table, const GbkString& number, const GbkString& path)
{
    const std::shared_ptr<DbConnection>& connection = AdoDatabase::activeConnection();
    if (!connection)
        return "没有连接数据库"_gbk;
    return fromQString(FormAttachment::storeAfterInsert(connection->name(), table, number, path));
}

} // namespace regdesk
