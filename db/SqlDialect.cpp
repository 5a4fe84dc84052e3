#include "db/SqlDialect.h"

#include "platform/GbkQt.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <vector>

namespace regdesk::SqlDialect {
namespace {

struct Token
{
    enum Type
    {
        Space,
        Literal, // '...' with its quotes
        Word,    // a name, a keyword, a number, "*"
        Symbol,  // ( ) , = < > ! ;
    };
    Type type;
    QString text;
};

std::vector<Token> tokenize(const QString& statement)
{
    std::vector<Token> tokens;
    const auto isSymbol = [](QChar c) { return QStringLiteral("(),=<>!;").contains(c); };
    qsizetype i = 0;
    while (i < statement.size()) {
        const qsizetype start = i;
        const QChar c = statement[i];
        if (c.isSpace()) {
            while (i < statement.size() && statement[i].isSpace())
                ++i;
            tokens.push_back({Token::Space, statement.mid(start, i - start)});
        } else if (c == u'\'') {
            ++i;
            while (i < statement.size()) {
                if (statement[i] == u'\'') {
                    if (i + 1 < statement.size() && statement[i + 1] == u'\'') {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            tokens.push_back({Token::Literal, statement.mid(start, i - start)});
        } else if (isSymbol(c)) {
            ++i;
            // "<>", "<=", ">=", "!=" are one operator
            if (i < statement.size() && (statement[i] == u'=' || (c == u'<' && statement[i] == u'>')))
                ++i;
            tokens.push_back({Token::Symbol, statement.mid(start, i - start)});
        } else {
            while (i < statement.size() && !statement[i].isSpace() && statement[i] != u'\'' && !isSymbol(statement[i]))
                ++i;
            tokens.push_back({Token::Word, statement.mid(start, i - start)});
        }
    }
    return tokens;
}

bool isKeyword(const QString& word, const char* keyword)
{
    return word.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

bool isAnyKeyword(const QString& word)
{
    static const char* const keywords[] = {"SELECT", "FROM",   "WHERE", "AND",    "OR",      "NOT",    "LIKE",
                                           "ORDER",  "BY",     "GROUP", "SET",    "VALUES",  "INSERT", "INTO",
                                           "UPDATE", "DELETE", "ON",    "AS",     "IS",      "NULL",   "IN",
                                           "LIMIT",  "ASC",    "DESC",  "HAVING", "DISTINCT"};
    for (const char* keyword : keywords) {
        if (isKeyword(word, keyword))
            return true;
    }
    return false;
}

// A column name the desk compares or sorts by (not a keyword, number or "*").
bool isColumn(const Token& token)
{
    if (token.type != Token::Word || isAnyKeyword(token.text) || token.text == u'*')
        return false;
    const QChar first = token.text.front();
    return !first.isDigit() && first != u'.' && first != u'-';
}

bool hasAsciiLetter(const QString& text)
{
    for (const QChar c : text) {
        if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))
            return true;
    }
    return false;
}

QString foldAscii(QString text)
{
    for (QChar& c : text) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
    }
    return text;
}

// Words that continue a condition or an ORDER BY rather than start another clause.
bool isInsideClause(const QString& word)
{
    static const char* const words[] = {"BY", "AND", "OR", "NOT", "ASC", "DESC", "LIKE", "IS", "NULL", "IN"};
    for (const char* keyword : words) {
        if (isKeyword(word, keyword))
            return true;
    }
    return false;
}

QString folded(const QString& column)
{
    return QStringLiteral("regdesk_fold(%1)").arg(column);
}

// The index of the next token that is not a blank, from `i` on.
std::size_t skipSpace(const std::vector<Token>& tokens, std::size_t i)
{
    while (i < tokens.size() && tokens[i].type == Token::Space)
        ++i;
    return i;
}

} // namespace

Kind kindOf(const QSqlDatabase& database)
{
    return database.driverName() == QLatin1String("QPSQL") ? Kind::Postgres : Kind::Sqlite;
}

QString translate(const GbkString& jetStatement, Kind kind)
{
    return kind == Kind::Postgres ? toPostgres(jetStatement) : toSqlite(jetStatement);
}

QString toSqlite(const GbkString& jetStatement)
{
    QString statement = toQString(jetStatement);
    // Jet accepts "DELETE * FROM"; SQLite knows only "DELETE FROM".
    static const QRegularExpression deleteStar(QStringLiteral("^(\\s*DELETE)\\s+\\*\\s+(FROM\\b)"),
                                               QRegularExpression::CaseInsensitiveOption);
    statement.replace(deleteStar, QStringLiteral("\\1 \\2"));
    return statement;
}

QString toPostgres(const GbkString& jetStatement)
{
    const std::vector<Token> tokens = tokenize(toSqlite(jetStatement));
    QString out;
    bool inCondition = false; // after WHERE or ON, up to SET, ORDER and the like
    bool inOrder = false;     // the column list of an ORDER BY
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const Token& token = tokens[i];
        if (token.type == Token::Word && isAnyKeyword(token.text)) {
            if (isKeyword(token.text, "WHERE") || isKeyword(token.text, "ON") || isKeyword(token.text, "HAVING")) {
                inCondition = true;
                inOrder = false;
            } else if (isKeyword(token.text, "ORDER")) {
                inCondition = false;
                inOrder = true;
            } else if (!isInsideClause(token.text)) {
                inCondition = false;
                inOrder = false;
            }
            out += token.text;
            continue;
        }
        if (token.type == Token::Symbol && token.text == u')')
            inOrder = false;
        if (inOrder && isColumn(token)) {
            out += folded(token.text) + QStringLiteral(" COLLATE \"C\"");
            continue;
        }
        if (inCondition && isColumn(token)) {
            const std::size_t op = skipSpace(tokens, i + 1);
            const std::size_t value = op < tokens.size() ? skipSpace(tokens, op + 1) : tokens.size();
            if (value < tokens.size() && tokens[value].type == Token::Literal) {
                const QString& literal = tokens[value].text;
                if (tokens[op].type == Token::Symbol &&
                    (tokens[op].text == u'=' || tokens[op].text == QLatin1String("<>") ||
                     tokens[op].text == QLatin1String("!="))) {
                    out += folded(token.text) + u' ' + tokens[op].text + u' ' + foldAscii(literal);
                    i = value;
                    continue;
                }
                if (tokens[op].type == Token::Symbol &&
                    (tokens[op].text == u'<' || tokens[op].text == u'>' || tokens[op].text == QLatin1String("<=") ||
                     tokens[op].text == QLatin1String(">="))) {
                    // In code-point order, as SQLite orders its UTF-8, whatever the server's collation.
                    out += folded(token.text) + QStringLiteral(" COLLATE \"C\" ") + tokens[op].text + u' ' +
                           foldAscii(literal);
                    i = value;
                    continue;
                }
                if (tokens[op].type == Token::Word && isKeyword(tokens[op].text, "LIKE")) {
                    // The ILIKE finds the candidates through the column's index; the folded LIKE decides.
                    if (hasAsciiLetter(literal))
                        out += QStringLiteral("(%1 ILIKE %2 ESCAPE '' AND %3 LIKE %4 ESCAPE '')")
                                   .arg(token.text, literal, folded(token.text), foldAscii(literal));
                    else
                        out += QStringLiteral("%1 LIKE %2 ESCAPE ''").arg(token.text, literal);
                    i = value;
                    continue;
                }
            }
        }
        out += token.text;
    }
    return out;
}

std::optional<QString> blobUpdateFor(const GbkString& selectStatement, Kind kind)
{
    static const QRegularExpression selectOne(
        QStringLiteral("^\\s*SELECT\\s+([^\\s,]+)\\s+FROM\\s+(\\S+)\\s+(WHERE\\s.*)$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = selectOne.match(toQString(selectStatement));
    if (!match.hasMatch())
        return std::nullopt;
    const QString update =
        QStringLiteral("UPDATE %1 SET %2=? %3").arg(match.captured(2), match.captured(1), match.captured(3));
    return translate(fromQString(update), kind);
}

GbkString connectionItem(const GbkString& connectionString, const GbkString& key)
{
    // Items are "key=value" separated by ";"; the key is found at the start or after a ";".
    const GbkString wanted = key + "=";
    std::size_t start = GbkString::npos;
    for (std::size_t at = connectionString.find(wanted); at != GbkString::npos;
         at = connectionString.find(wanted, at + 1)) {
        if (at == 0 || connectionString[at - 1] == ';') {
            start = at;
            break;
        }
    }
    if (start == GbkString::npos)
        return {};
    const std::size_t valueStart = start + wanted.size();
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

GbkString dataSourceOf(const GbkString& connectionString)
{
    return connectionItem(connectionString, "Data Source");
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
