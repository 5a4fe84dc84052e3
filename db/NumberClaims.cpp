#include "db/NumberClaims.h"

#include "db/AdoDatabase.h"
#include "db/BarcodeCount.h"
#include "db/ServerAddress.h"
#include "db/ServerStatement.h"
#include "platform/GbkQt.h"
#include "platform/ProcessList.h"
#include "platform/Prompter.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace regdesk {
namespace {

void report(const std::shared_ptr<DbConnection>& connection, const QSqlError& error)
{
    if (connection)
        connection->prompter().ask(nullptr, Prompter::Message{sqlErrorText(error), QString()});
}

QSqlDatabase databaseOf(const std::shared_ptr<DbConnection>& connection)
{
    return connection ? QSqlDatabase::database(connection->name(), false) : QSqlDatabase();
}

// A desk on data.db is "<pid>:<start time>:<number>": alive while that process runs.
bool dataFileDeskIsAlive(const QString& session)
{
    const QStringList parts = session.split(u':');
    bool number = false;
    const long pid = parts.value(0).toLong(&number);
    if (parts.size() < 2 || !number)
        return false;
    const std::optional<std::string> running = processIdentity(pid);
    return running && QString::fromStdString(*running) == parts[0] + u':' + parts[1];
}

} // namespace

WriteTransaction::WriteTransaction(std::shared_ptr<DbConnection> connection)
    : m_connection(std::move(connection)), m_database(databaseOf(m_connection))
{
    if (!m_database.isOpen())
        return;
    if (m_connection->kind() == SqlDialect::Kind::Postgres) {
        m_open = run(QStringLiteral("BEGIN"));
        // Numbering and saving read the register and then write: one desk at a time.
        if (m_open && !run(QStringLiteral("LOCK TABLE 号码占用表 IN EXCLUSIVE MODE"))) {
            run(QStringLiteral("ROLLBACK"));
            m_open = false;
        }
    } else {
        m_open = run(QStringLiteral("BEGIN IMMEDIATE"));
    }
}

WriteTransaction::~WriteTransaction()
{
    if (m_open) {
        QSqlQuery query(m_database);
        query.exec(QStringLiteral("ROLLBACK"));
    }
}

bool WriteTransaction::run(const QString& sql)
{
    QSqlQuery query(m_database);
    if (query.exec(sql))
        return true;
    report(m_connection, query.lastError());
    return false;
}

bool WriteTransaction::commit()
{
    if (!m_open || !run(QStringLiteral("COMMIT")))
        return false;
    m_open = false;
    return true;
}

NumberClaims::NumberClaims(std::shared_ptr<DbConnection> connection) : m_connection(std::move(connection)) {}

bool NumberClaims::run(const QString& sql, const QVariantList& values, int* rowsAffected, bool reportFailure)
{
    if (m_connection && m_connection->kind() == SqlDialect::Kind::Postgres) {
        // One round trip: QtSql's driver would prepare, run and drop the statement.
        ServerStatement statement(databaseOf(m_connection), sql);
        if (!statement.executeOnce(values)) {
            if (reportFailure)
                report(m_connection, QSqlError(QString(), statement.error()));
            return false;
        }
        if (rowsAffected)
            *rowsAffected = static_cast<int>(statement.rowsAffected());
        return true;
    }
    QSqlQuery query(databaseOf(m_connection));
    bool done = query.prepare(sql);
    if (done) {
        for (const QVariant& value : values)
            query.addBindValue(value);
        done = query.exec();
    }
    if (!done) {
        if (reportFailure)
            report(m_connection, query.lastError());
        return false;
    }
    if (rowsAffected)
        *rowsAffected = query.numRowsAffected();
    return true;
}

bool NumberClaims::forgetEndedDesks()
{
    if (!m_connection)
        return false;
    const QString me = m_connection->session();
    if (m_connection->kind() == SqlDialect::Kind::Postgres) {
        return run(QStringLiteral("DELETE FROM 号码占用表 WHERE 会话 IS NOT NULL AND 会话 <> ? AND NOT EXISTS ("
                                  "SELECT 1 FROM pg_locks WHERE locktype = 'advisory' AND granted AND objsubid = 2 "
                                  "AND database = (SELECT oid FROM pg_database WHERE datname = current_database()) "
                                  "AND classid = ? AND objid::text = 号码占用表.会话)"),
                   {me, kDeskLockKey});
    }
    QSqlQuery query(databaseOf(m_connection));
    query.prepare(QStringLiteral("SELECT DISTINCT 会话 FROM 号码占用表 WHERE 会话 IS NOT NULL AND 会话 <> ?"));
    query.addBindValue(me);
    if (!query.exec()) {
        report(m_connection, query.lastError());
        return false;
    }
    QStringList ended;
    while (query.next()) {
        if (!dataFileDeskIsAlive(query.value(0).toString()))
            ended << query.value(0).toString();
    }
    query.finish();
    for (const QString& session : ended) {
        if (!run(QStringLiteral("DELETE FROM 号码占用表 WHERE 会话 = ?"), {session}))
            return false;
    }
    return true;
}

bool NumberClaims::releaseOwn(bool reportFailure)
{
    return m_connection && run(QStringLiteral("DELETE FROM 号码占用表 WHERE 会话 = ?"), {m_connection->session()},
                               nullptr, reportFailure);
}

NumberClaims::Outcome NumberClaims::claim(const char* kind, const GbkString& number, const GbkString& series,
                                          int serial)
{
    if (!m_connection)
        return Outcome::Failed;
    int inserted = 0;
    if (!run(QStringLiteral("INSERT INTO 号码占用表 (种类, 号码, 序列, 序号, 会话, 时间) VALUES (?, ?, ?, ?, ?, ?) "
                            "ON CONFLICT (种类, 号码) DO NOTHING"),
             {QString::fromUtf8(kind), toQString(number), toQString(series), serial, m_connection->session(),
              QDateTime::currentDateTime().toString(Qt::ISODate)},
             &inserted))
        return Outcome::Failed;
    if (inserted == 1)
        return Outcome::Claimed;
    const std::optional<QString> current = holder(kind, number);
    return current && *current == m_connection->session() ? Outcome::Claimed : Outcome::HeldByOtherDesk;
}

std::optional<std::optional<QString>> NumberClaims::firstValue(const QString& sql, const QVariantList& values)
{
    if (m_connection && m_connection->kind() == SqlDialect::Kind::Postgres) {
        ServerStatement statement(databaseOf(m_connection), sql);
        if (!statement.executeOnce(values)) {
            report(m_connection, QSqlError(QString(), statement.error()));
            return std::nullopt;
        }
        if (statement.rowCount() == 0)
            return std::optional<QString>();
        const QByteArrayView value = statement.value(0, 0);
        return std::optional<QString>(QString::fromUtf8(value.data(), value.size()));
    }
    QSqlQuery query(databaseOf(m_connection));
    query.prepare(sql);
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec()) {
        report(m_connection, query.lastError());
        return std::nullopt;
    }
    return query.next() ? std::optional<QString>(query.value(0).toString()) : std::optional<QString>();
}

std::optional<QString> NumberClaims::holder(const char* kind, const GbkString& number)
{
    const std::optional<std::optional<QString>> value =
        firstValue(QStringLiteral("SELECT coalesce(会话, '') FROM 号码占用表 WHERE 种类 = ? AND 号码 = ?"),
                   {QString::fromUtf8(kind), toQString(number)});
    return value ? *value : std::nullopt;
}

bool NumberClaims::settle(const GbkString& documentNumber, const GbkString& codeNumber, bool barcoded)
{
    if (!m_connection)
        return false;
    const QString me = m_connection->session();
    const QString code = toQString(codeNumber);
    if (!run(QStringLiteral("DELETE FROM 号码占用表 WHERE 种类 = ? AND 号码 = ? AND 会话 = ?"),
             {QString::fromUtf8(kDocumentNumber), toQString(documentNumber), me}))
        return false;
    // A row without a barcode is not counted: its number may be proposed again.
    if (!barcoded)
        return run(QStringLiteral("DELETE FROM 号码占用表 WHERE 种类 = ? AND 号码 = ? AND 会话 = ?"),
                   {QString::fromUtf8(kCodeNumber), code, me});
    const std::optional<std::optional<QString>> claimed =
        firstValue(QStringLiteral("SELECT 序列 FROM 号码占用表 WHERE 种类 = ? AND 号码 = ? AND 会话 = ?"),
                   {QString::fromUtf8(kCodeNumber), code, me});
    if (!claimed)
        return false;
    if (!*claimed)
        return true; // a code number typed by hand: this desk holds no claim of it
    const GbkString series = fromQString(**claimed);
    if (!run(QStringLiteral("UPDATE 号码占用表 SET 会话 = NULL WHERE 种类 = ? AND 号码 = ? AND 会话 = ?"),
             {QString::fromUtf8(kCodeNumber), code, me}))
        return false;
    // On a desk alone the count has reached the number as soon as its row is
    // saved, and the claim goes at once.
    const std::optional<std::optional<int>> year = yearOfCodeSeries(series);
    if (!year)
        return true;
    const BarcodeCount::Result counted = BarcodeCount::count(databaseOf(m_connection), *year);
    if (!counted.failure.isEmpty()) {
        m_connection->prompter().ask(nullptr, Prompter::Message{counted.failure, QString()});
        return false;
    }
    return forgetNeedlessCodes(series, counted.rows);
}

bool NumberClaims::forgetNeedlessCodes(const GbkString& series, qint64 counted)
{
    const std::optional<std::optional<int>> year = yearOfCodeSeries(series);
    if (!year)
        return true;
    // A saved code number needs protecting only while a desk could be
    // proposed it: while its row is counted and the count is still below it.
    return run(QStringLiteral("DELETE FROM 号码占用表 WHERE 种类 = ? AND 序列 = ? AND 会话 IS NULL AND (序号 <= ? OR "
                              "NOT EXISTS (SELECT 1 FROM 发文登记表 WHERE 制码号 = 号码占用表.号码 AND %1))")
                   .arg(BarcodeCount::countedRowCondition(*year)),
               {QString::fromUtf8(kCodeNumber), toQString(series), counted});
}

GbkString NumberClaims::codeSeries(std::optional<int> year)
{
    return year ? std::to_string(*year) : GbkString{};
}

std::optional<std::optional<int>> NumberClaims::yearOfCodeSeries(const GbkString& series)
{
    if (series.empty())
        return std::optional<std::optional<int>>(std::in_place); // all years
    bool number = false;
    const int year = QString::fromLatin1(series.data(), static_cast<qsizetype>(series.size())).toInt(&number);
    if (!number || codeSeries(year) != series)
        return std::nullopt;
    return std::optional<int>(year);
}

QString NumberClaims::holdServerSession(const QSqlDatabase& database, QString& session)
{
    QSqlQuery query(database);
    if (session.isEmpty()) {
        if (!query.exec(QStringLiteral("SELECT nextval('号码占用表_会话')")) || !query.next())
            return sqlErrorText(query.lastError());
        session = query.value(0).toString();
    }
    // Held while the connection lives; a desk that ends, however, lets go of it.
    query.prepare(QStringLiteral("SELECT pg_advisory_lock(?, ?)"));
    query.addBindValue(kDeskLockKey);
    query.addBindValue(session.toInt());
    if (!query.exec())
        return sqlErrorText(query.lastError());
    return {};
}

} // namespace regdesk
