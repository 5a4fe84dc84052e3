#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <memory>

struct pg_conn;
struct pg_result;

namespace regdesk {

// One statement on a PostgreSQL connection of QtSql, run through libpq
// itself with its values sent apart from its text ("?" in the text, in
// order). QtSql's driver writes every bound value into the statement's
// text, a byte array as escaped text several times its size; here bytes
// travel as they are and no value is ever read as SQL, whatever the
// session's settings. Prepared once, run as often as needed.
class ServerStatement
{
public:
    ServerStatement(const QSqlDatabase& database, const QString& statement);
    ~ServerStatement();
    ServerStatement(const ServerStatement&) = delete;
    ServerStatement& operator=(const ServerStatement&) = delete;

    enum class Results
    {
        Text,   // every column as its text
        Binary, // every column in its type's binary form (a bytea: its bytes)
    };
    // Runs it with `values`: a QByteArray goes as bytes (bytea), a null
    // value as NULL, any other as its text. False on failure (see error()).
    bool execute(const QVariantList& values, Results results = Results::Text);
    // The same for a statement run once: sent with its values in one round
    // trip, never prepared.
    bool executeOnce(const QVariantList& values, Results results = Results::Text);

    QString error() const { return m_error; }
    qint64 rowsAffected() const;
    int rowCount() const;
    bool isNull(int row, int column) const;
    // A column of the result as it came (text or bytes, as asked), valid
    // until the next execute(); empty for NULL.
    QByteArrayView value(int row, int column) const;

private:
    bool run(const QVariantList& values, Results results, bool reusable);

    pg_conn* m_connection = nullptr;
    QByteArray m_statement; // with $1, $2, ...
    QByteArray m_name;      // the prepared statement's, once prepared
    std::unique_ptr<pg_result, void (*)(pg_result*)> m_result;
    QString m_error;
};

} // namespace regdesk
