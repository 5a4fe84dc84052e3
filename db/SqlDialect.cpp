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
    // Neither ";" nor a quote can be the second byte of a GBK character: bytes suffice.
    const char quote = valueStart < connectionString.size() ? connectionString[valueStart] : '\0';
    if (quote != '"' && quote != '\'') {
        const std::size_t end = connectionString.find(';', valueStart);
        return connectionString.substr(valueStart, end == GbkString::npos ? GbkString::npos : end - valueStart);
    }
    GbkString value;
    for (std::size_t pos = valueStart + 1; pos < connectionString.size(); ++pos) {
        if (connectionString[pos] == quote) {
            if (pos + 1 >= connectionString.size() || connectionString[pos + 1] != quote)
                break;
            ++pos; // a doubled quote
        }
        value += connectionString[pos];
    }
    return value;
}

GbkString connectionValue(const GbkString& value)
{
    const bool plain = value.find_first_of(";\"'") == GbkString::npos &&
                       (value.empty() || (value.front() != ' ' && value.back() != ' '));
    if (plain)
        return value;
    GbkString quoted = "\"";
    for (const char c : value) {
        quoted += c;
        if (c == '"')
            quoted += c;
    }
    return quoted + "\"";
}

} // namespace regdesk::SqlDialect
