#include "people/PeopleTable.h"

#include "db/AdoDatabase.h"
#include "db/AdoRecordset.h"
#include "db/RegisterStatements.h"
#include "db/TransactionGuard.h"

namespace regdesk {

bool SqlPeopleTable::replaceAll(const std::vector<Person>& people)
{
    TransactionGuard transaction(AdoDatabase::activeConnection());
    if (!transaction.isOpen())
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
