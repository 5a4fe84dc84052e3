#include "db/RegisterSearch.h"

#include "db/AdoDatabase.h"
#include "db/PostgresRegisterSearch.h"
#include "db/SqliteRegisterSearch.h"
#include "platform/GbkQt.h"
#include "platform/Text.h"

namespace regdesk {
namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

} // namespace

std::unique_ptr<RegisterSearch> makeRegisterSearch(std::shared_ptr<DbConnection> connection)
{
    if (connection && connection->kind() == SqlDialect::Kind::Postgres)
        return std::make_unique<PostgresRegisterSearch>(std::move(connection));
    return std::make_unique<SqliteRegisterSearch>(std::move(connection));
}

GbkString listCellText(const QVariant& value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::QByteArray)
        return GbkString(trimBlanks(value.toByteArray().toStdString()));
    return GbkString(trimBlanks(fromQString(value.toString())));
}

QString searchCellText(const QVariant& value)
{
    if (value.isNull())
        return {};
    const QString text =
        value.typeId() == QMetaType::QByteArray ? toQString(value.toByteArray().toStdString()) : value.toString();
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace regdesk
