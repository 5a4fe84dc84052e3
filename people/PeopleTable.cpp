#include "people/PeopleTable.h"

#include "db/AdoDatabase.h"
#include "db/AdoRecordset.h"
#include "db/AuditTrail.h"
#include "db/RegisterStatements.h"
#include "db/TransactionGuard.h"

#include <QSqlDatabase>

namespace regdesk {

bool SqlPeopleTable::replaceAll(const std::vector<Person>& people)
{
    const std::shared_ptr<DbConnection>& connection = AdoDatabase::activeConnection();
    TransactionGuard transaction(connection);
    if (!transaction.isOpen())
        return false;
    // Every person replaced is kept in the trail; without that row nothing changes.
    if (!AuditTrail(QSqlDatabase::database(connection->name(), false)).recordPeople().isEmpty())
        return false;
    AdoRecordset statement;
    if (!statement.openQuery(RegisterStatements::deletePeople()))
        return false;
    for (const Person& person : people) {
        if (!statement.openQuery(RegisterStatements::insertPerson(person.name, person.initials)))
            return false;
    }
    return transaction.commit();
}

} // namespace regdesk
