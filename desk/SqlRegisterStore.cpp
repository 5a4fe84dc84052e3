#include "desk/SqlRegisterStore.h"

#include "db/AdoDatabase.h"
#include "db/AdoRecordset.h"
#include "db/RegisterStatements.h"
#include "db/TransactionGuard.h"
#include "platform/GbkQt.h"
#include "query/FormAttachment.h"

namespace regdesk {
namespace {

bool run(const GbkString& sql)
{
    AdoRecordset statement;
    return statement.openQuery(sql);
}

} // namespace

bool SqlRegisterStore::isRegistered(const GbkString& table, const GbkString& number)
{
    AdoRecordset records;
    return records.openQuery(RegisterStatements::selectNumber(table, number)) && records.recordCount() > 0;
}

bool SqlRegisterStore::insert(const GbkString& table, const DocumentRecord& record, bool outgoing, bool replaceExisting)
{
    const GbkString insertion = outgoing ? RegisterStatements::insertOutgoing(table, record)
                                         : RegisterStatements::insertIncoming(table, record);
    if (!replaceExisting)
        return run(insertion);

    // The old row goes only together with the arrival of its replacement.
    TransactionGuard transaction(AdoDatabase::activeConnection());
    return transaction.isOpen() && run(RegisterStatements::deleteNumber(table, record[DocumentRecord::Number])) &&
           run(insertion) && transaction.commit();
}

GbkString SqlRegisterStore::attachFile(const GbkString& table, const GbkString& number, const GbkString& path)
{
    const std::shared_ptr<DbConnection>& connection = AdoDatabase::activeConnection();
    if (!connection)
        return "没有连接数据库"_gbk;
    return fromQString(FormAttachment::storeAfterInsert(connection->name(), table, number, path));
}

} // namespace regdesk
