#include "db/SqlDialect.h"

#include "platform/GbkQt.h"

#include <QRegularExpression>

namespace regdesk::SqlDialect {

QString toSqlite(const GbkString& jetStatement)
{
    QString statement = toQString(jetStatement);
    // Jet accepts "DELETE * FROM"; SQLite knows only "DELETE FROM".
    static const QRegularExpression deleteStar(QStringLiteral("^(\\s*DELETE)\\s+\\*\\s+(FROM\\b)"),
                                               QRegularExpression::CaseInsensitiveOption);
    statement.replace(deleteStar, QStringLiteral("\\1 \\2"));
    return statement;
}

std::optional<QString> blobUpdateFor(const GbkString& selectStatement)
{
    static const QRegularExpression selectOne(
        QStringLiteral("^\\s*SELECT\\s+([^\\s,]+)\\s+FROM\\s+(\\S+)\\s+(WHERE\\s.*)$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = selectOne.match(toQString(selectStatement));
    if (!match.hasMatch())
        return std::nullopt;
    return QStringLiteral("UPDATE %1 SET %2=? %3").arg(match.captured(2), match.captured(1), match.captured(3));
}

GbkString dataSourceOf(const GbkString& connectionString)
{
    static const GbkString key = "Data Source=";
    const std::size_t start = connectionString.find(key);
    if (start == GbkString::npos)
        return {};
    const std::size_t valueStart = start + key.size();
    const std::size_t end = connectionString.find(';', valueStart);
    return connectionString.substr(valueStart, end == GbkString::npos ? GbkString::npos : end - valueStart);
}

} // namespace regdesk::SqlDialect
