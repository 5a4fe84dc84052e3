#include "desk/AdoOutgoingRegister.h"

#include "db/AdoRecordset.h"
#include "db/RegisterStatements.h"

namespace regdesk {

std::vector<GbkString> AdoOutgoingRegister::numbersOfYear(int year)
{
    std::vector<GbkString> numbers;
    AdoRecordset records;
    if (!records.openQuery(RegisterStatements::selectNumbersOfYear(year)))
        return numbers;
    numbers.reserve(static_cast<std::size_t>(std::max(records.recordCount(), 0)));
    for (records.moveFirst(); !records.isEof(); records.moveNext())
        numbers.push_back(records.fieldText(0));
    return numbers;
}

std::optional<GbkString> AdoOutgoingRegister::titleOf(const GbkString& number)
{
    AdoRecordset records;
    if (!records.openQuery(RegisterStatements::selectOutgoingTitle(number)) || records.recordCount() <= 0)
        return std::nullopt;
    records.moveFirst();
    return records.fieldText(0);
}

int AdoOutgoingRegister::countBarcoded(std::optional<int> year)
{
    AdoRecordset records;
    const GbkString sql =
        year ? RegisterStatements::selectCodeTimesOfYear(*year) : RegisterStatements::selectCodeTimes();
    if (!records.openQuery(sql))
        return 0;
    return std::max(records.recordCount(), 0);
}

} // namespace regdesk
