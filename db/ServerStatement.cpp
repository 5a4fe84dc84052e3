#include "db/ServerStatement.h"

#include <QSqlDriver>
#include <atomic>
#include <libpq-fe.h>
#include <vector>

namespace regdesk {
namespace {

// "?" outside quoted texts and names becomes $1, $2, ... in order.
QByteArray numberedParameters(const QString& statement)
{
    QString numbered;
    int count = 0;
    QChar quote;
    for (const QChar c : statement) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar(); // a doubled quote closes and opens again
        } else if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u'?') {
            numbered += u'$' + QString::number(++count);
            continue;
        }
        numbered += c;
    }
    return numbered.toUtf8();
}

PGconn* connectionOf(const QSqlDatabase& database)
{
    const QVariant handle = database.isOpen() && database.driver() ? database.driver()->handle() : QVariant();
    // QPSQL's handle: a PGconn*, named by its struct in Qt 6.
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0))
        return nullptr;
    return *static_cast<PGconn* const*>(handle.constData());
}

QString errorOf(PGconn* connection, const PGresult* result)
{
    const char* message = result != nullptr ? PQresultErrorMessage(result) : "";
    if (message == nullptr || *message == '\0')
        message = PQerrorMessage(connection);
    return QString::fromUtf8(message).trimmed();
}

bool succeeded(const PGresult* result)
{
    const ExecStatusType status = PQresultStatus(result);
    return result != nullptr && (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK);
}

} // namespace

ServerStatement::ServerStatement(const QSqlDatabase& database, const QString& statement)
    : m_connection(connectionOf(database)), m_statement(numberedParameters(statement)), m_result(nullptr, PQclear)
{}

ServerStatement::~ServerStatement()
{
    m_result.reset();
    // A failed transaction refuses every statement until it ends; the
    // prepared statement then goes with the connection.
    if (!m_name.isEmpty() && PQstatus(m_connection) == CONNECTION_OK &&
        PQtransactionStatus(m_connection) != PQTRANS_INERROR && PQtransactionStatus(m_connection) != PQTRANS_ACTIVE)
        PQclear(PQexec(m_connection, ("DEALLOCATE " + m_name).constData()));
}

bool ServerStatement::execute(const QVariantList& values, Results results)
{
    return run(values, results, true);
}

bool ServerStatement::executeOnce(const QVariantList& values, Results results)
{
    return run(values, results, false);
}

bool ServerStatement::run(const QVariantList& values, Results results, bool reusable)
{
    m_result.reset();
    m_error.clear();
    if (m_connection == nullptr) {
        m_error = QStringLiteral("没有打开的 PostgreSQL 连接。");
        return false;
    }
    if (reusable && m_name.isEmpty()) {
        static std::atomic<int> counter{0};
        const QByteArray name = "regdesk_statement_" + QByteArray::number(++counter);
        const std::unique_ptr<PGresult, void (*)(PGresult*)> prepared(
            PQprepare(m_connection, name.constData(), m_statement.constData(), 0, nullptr), PQclear);
        if (!succeeded(prepared.get())) {
            m_error = errorOf(m_connection, prepared.get());
            return false;
        }
        m_name = name;
    }
    const auto count = static_cast<std::size_t>(values.size());
    std::vector<QByteArray> held(count); // implicitly shared: bytes are not copied
    std::vector<const char*> pointers(count, nullptr);
    std::vector<int> lengths(count, 0);
    std::vector<int> formats(count, 0);
    for (std::size_t i = 0; i < count; ++i) {
        const QVariant& value = values[static_cast<qsizetype>(i)];
        if (value.isNull())
            continue;
        const bool bytes = value.typeId() == QMetaType::QByteArray;
        held[i] = bytes ? value.toByteArray() : value.toString().toUtf8();
        pointers[i] = held[i].constData();
        lengths[i] = static_cast<int>(held[i].size());
        formats[i] = bytes ? 1 : 0;
    }
    const int resultFormat = results == Results::Binary ? 1 : 0;
    m_result.reset(reusable ? PQexecPrepared(m_connection, m_name.constData(), static_cast<int>(count), pointers.data(),
                                             lengths.data(), formats.data(), resultFormat)
                            : PQexecParams(m_connection, m_statement.constData(), static_cast<int>(count), nullptr,
                                           pointers.data(), lengths.data(), formats.data(), resultFormat));
    if (!succeeded(m_result.get())) {
        m_error = errorOf(m_connection, m_result.get());
        return false;
    }
    return true;
}

qint64 ServerStatement::rowsAffected() const
{
    return m_result ? QByteArray(PQcmdTuples(m_result.get())).toLongLong() : 0;
}

int ServerStatement::rowCount() const
{
    return m_result ? PQntuples(m_result.get()) : 0;
}

bool ServerStatement::isNull(int row, int column) const
{
    return !m_result || PQgetisnull(m_result.get(), row, column) != 0;
}

QByteArrayView ServerStatement::value(int row, int column) const
{
    if (isNull(row, column))
        return {};
    return {PQgetvalue(m_result.get(), row, column), PQgetlength(m_result.get(), row, column)};
}

} // namespace regdesk
