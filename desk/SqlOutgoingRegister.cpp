#include "desk/SqlOutgoingRegister.h"

#include "db/AdoRecordset.h"
#include "db/RegisterStatements.h"
#include "platform/GbkQt.h"
#include "platform/Text.h"

namespace regdesk {
namespace {

// The GBK text of a number, built without the converter for the usual shape
// prefix + ASCII + "号", which most rows of a register have.
class NumberConverter
{
public:
    explicit NumberConverter(const GbkString& prefix) : m_prefix(toQString(prefix)), m_prefixGbk(prefix) {}

    const QString& prefix() const { return m_prefix; }

    GbkString toGbk(const QString& number) const
    {
        if (!number.startsWith(m_prefix))
            return fromQString(number);
        GbkString text = m_prefixGbk;
        const qsizetype end = number.endsWith(m_numberSign) ? number.size() - 1 : number.size();
        for (qsizetype i = m_prefix.size(); i < end; ++i) {
            const char16_t c = number[i].unicode();
            if (c >= 0x80)
                return fromQString(number);
            text += static_cast<char>(c);
        }
        if (end != number.size())
            text += m_numberSignGbk;
        return text;
    }

private:
    QString m_prefix;
    GbkString m_prefixGbk;
    QChar m_numberSign = QChar(u'号');
    GbkString m_numberSignGbk = "号"_gbk;
};

} // namespace

std::vector<GbkString> SqlOutgoingRegister::numbersOfYear(int year, const GbkString& prefix)
{
    // Only numbers that contain the prefix can have it as their head: the
    // others are passed over before the costly conversion to GBK.
    const NumberConverter converter(prefix);
    std::vector<GbkString> numbers;
    AdoRecordset records;
    records.forEachRow(RegisterStatements::selectNumbersOfYear(year), [&](const std::vector<QVariant>& values) {
        const QString number = values[0].toString();
        if (number.contains(converter.prefix()))
            numbers.push_back(GbkString(trimBlanks(converter.toGbk(number))));
    });
    return numbers;
}

std::optional<GbkString> SqlOutgoingRegister::titleOf(const GbkString& number)
{
    AdoRecordset records;
    if (!records.openQuery(RegisterStatements::selectOutgoingTitle(number)) || records.recordCount() <= 0)
        return std::nullopt;
    records.moveFirst();
    return records.fieldText(0);
}

int SqlOutgoingRegister::countBarcoded(std::optional<int> year)
{
    int rows = 0;
    const GbkString sql =
        year ? RegisterStatements::selectCodeTimesOfYear(*year) : RegisterStatements::selectCodeTimes();
    AdoRecordset records;
    if (!records.forEachRow(sql, [&rows](const std::vector<QVariant>&) { ++rows; }))
        return 0;
    return rows;
}

} // namespace regdesk
