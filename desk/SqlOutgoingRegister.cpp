#include "desk/SqlOutgoingRegister.h"

#include "db/AdoDatabase.h"
#include "db/AdoRecordset.h"
#include "db/BarcodeCount.h"
#include "db/NumberClaims.h"
#include "db/NumberOrder.h"
#include "db/RegisterStatements.h"
#include "db/SqlDialect.h"
#include "platform/GbkQt.h"
#include "platform/Prompter.h"
#include "platform/Text.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <algorithm>
#include <limits>

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

// The server's numbers of the prefix from its index, page by page: most
// proposals end within the first page. False when the server refused a
// page, so that the caller reads otherwise (from the start again).
bool visitThroughIndex(const QSqlDatabase& database, const NumberConverter& converter,
                       const std::function<bool(const GbkString& number, std::optional<long long> serialBound)>& visit)
{
    std::optional<NumberOrder::Position> after;
    for (int limit = 16;; limit = std::min(limit * 4, 4096)) {
        const std::optional<std::vector<NumberOrder::Row>> rows =
            NumberOrder::page(database, converter.prefix(), after, limit);
        if (!rows)
            return false;
        for (const NumberOrder::Row& row : *rows) {
            if (!visit(GbkString(trimBlanks(converter.toGbk(row.number))), row.serialBound))
                return true;
        }
        if (static_cast<int>(rows->size()) < limit)
            return true;
        after = NumberOrder::Position{rows->back().serialBound, rows->back().rowId};
    }
}

} // namespace

std::vector<GbkString> SqlOutgoingRegister::numbersOfYear(int year, const GbkString& prefix)
{
    // Only numbers that contain the prefix can have it as their head: the
    // others are passed over before the costly conversion to GBK.
    const NumberConverter converter(prefix);
    std::vector<GbkString> numbers;
    AdoRecordset records;
    const GbkString sql = RegisterStatements::selectNumbersOfYearHeadedBy(year, prefix);
    records.forEachRow(sql, [&](const std::vector<QVariant>& values) {
        const QString number = values[0].toString();
        if (number.contains(converter.prefix()))
            numbers.push_back(GbkString(trimBlanks(converter.toGbk(number))));
    });
    return numbers;
}

void SqlOutgoingRegister::visitNumbersOfYear(
    int year, const GbkString& prefix,
    const std::function<bool(const GbkString& number, std::optional<long long> serialBound)>& visit)
{
    const std::shared_ptr<DbConnection>& connection = AdoDatabase::activeConnection();
    if (!connection)
        return;
    const QSqlDatabase database = QSqlDatabase::database(connection->name(), false);
    const NumberConverter converter(prefix);
    const bool server = SqlDialect::kindOf(database) == SqlDialect::Kind::Postgres;
    if (server && NumberOrder::answersFor(converter.prefix(), year) && NumberOrder::isInstalled(database) &&
        visitThroughIndex(database, converter, visit))
        return;
    const GbkString sql = RegisterStatements::selectNumbersOfYearHeadedBy(year, prefix);
    const QString select = SqlDialect::translate(sql, SqlDialect::kindOf(database));
    // The leading digits after the prefix, read from the stored text: never less
    // than the serial the desk reads from the trimmed number (whose serial is a
    // part of them). A number with leading blanks has none. On the server,
    // zeros in front are passed over and at most 18 digits read: a longer run
    // is still above any serial, and no text overflows the cast.
    const QString digits =
        server ? QStringLiteral("COALESCE(CAST(substring(substr(发文号, %1) FROM '^0*([0-9]{1,18})') AS bigint), 0)")
               : QStringLiteral("CAST(substr(发文号, %1) AS INTEGER)");
    QSqlQuery query(database);
    query.setForwardOnly(true);
    const QString bounded =
        QStringLiteral("SELECT 发文号, 上限 FROM (SELECT 发文号, CASE WHEN 发文号 < '!' THEN NULL ELSE %1 END AS 上限 "
                       "FROM (%2) DERIVEDTBL) BOUNDED ORDER BY 上限 IS NOT NULL, 上限 DESC")
            .arg(digits.arg(converter.prefix().size() + 1), select);
    if (!query.exec(bounded)) {
        // The plain reading gives the same answer, only slower.
        OutgoingRegister::visitNumbersOfYear(year, prefix, visit);
        return;
    }
    while (query.next()) {
        const QString number = query.value(0).toString();
        if (!number.contains(converter.prefix()))
            continue; // cannot be headed by the prefix once trimmed
        std::optional<long long> serialBound;
        if (const QVariant bound = query.value(1); !bound.isNull()) {
            bool fits = false;
            serialBound = bound.toLongLong(&fits);
            if (!fits) // more digits than any serial holds
                serialBound = std::numeric_limits<long long>::max();
        }
        if (!visit(GbkString(trimBlanks(converter.toGbk(number))), serialBound))
            return;
    }
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
    // The register's counter when it has one, the statement otherwise.
    const std::shared_ptr<DbConnection>& connection = AdoDatabase::activeConnection();
    if (!connection)
        return 0;
    const BarcodeCount::Result count = BarcodeCount::count(QSqlDatabase::database(connection->name(), false), year);
    if (!count.failure.isEmpty()) {
        connection->prompter().ask(nullptr, Prompter::Message{count.failure, QString()});
        return 0;
    }
    return static_cast<int>(std::min<qint64>(count.rows, std::numeric_limits<int>::max() - 1));
}

SqlOutgoingRegister::~SqlOutgoingRegister()
{
    if (const std::shared_ptr<DbConnection> connection = m_claimedOn.lock())
        NumberClaims(connection).releaseOwn(false);
}

void SqlOutgoingRegister::asOneProposal(const std::function<void()>& proposal)
{
    // A proposal that cannot hold its numbers against the other desks is not
    // made: the database layer has said why, and the clerk chooses again.
    const std::shared_ptr<DbConnection> connection = AdoDatabase::activeConnection();
    WriteTransaction unit(connection);
    NumberClaims claims(connection);
    if (!unit.isOpen() || !claims.forgetEndedDesks() || !claims.releaseOwn())
        return;
    m_proposing = connection;
    m_claimedOn = connection;
    proposal();
    m_proposing.reset();
    unit.commit();
}

bool SqlOutgoingRegister::reserve(const NumberReservation& reservation)
{
    const bool document = reservation.kind == NumberReservation::Kind::Document;
    // Code numbers are claimed in the series of the count they follow.
    return NumberClaims(m_proposing)
               .claim(document ? NumberClaims::kDocumentNumber : NumberClaims::kCodeNumber, reservation.number,
                      document ? reservation.series : NumberClaims::codeSeries(reservation.countedYear),
                      reservation.serial) != NumberClaims::Outcome::HeldByOtherDesk;
}

void SqlOutgoingRegister::codesCounted(std::optional<int> year, int barcodes)
{
    NumberClaims(m_proposing).forgetNeedlessCodes(NumberClaims::codeSeries(year), barcodes);
}

} // namespace regdesk
