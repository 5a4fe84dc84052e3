#include "db/RegisterDatabaseFile.h"

#include "db/BarcodeCount.h"
#include "db/PrivateConnection.h"
#include "db/RegisterSchema.h"
#include "db/RegisterStatements.h"
#include "db/SearchIndex.h"
#include "db/ServerAddress.h"
#include "db/TransactionGuard.h"
#include "platform/GbkQt.h"
#include "platform/UniqueFd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace regdesk {
namespace {

// Runs a schema statement by statement. Comment lines go first (they may
// hold a ";"); no statement holds one.
QString runSchema(const QSqlDatabase& database, const char* schema)
{
    QString text;
    for (const QString& line : QString::fromUtf8(schema).split(u'\n')) {
        if (!line.trimmed().startsWith(QStringLiteral("--")))
            text += line + u'\n';
    }
    QSqlQuery query(database);
    for (const QString& statement : text.split(u';', Qt::SkipEmptyParts)) {
        if (statement.trimmed().isEmpty())
            continue;
        if (!query.exec(statement))
            return sqlErrorText(query.lastError());
    }
    return {};
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

QString createRegisterDatabase(const QString& path)
{
    const QFileInfo file(path);
    if (!file.dir().exists())
        return QStringLiteral("the folder %1 does not exist").arg(file.absolutePath());

    // The file is made here, exclusively and never through a link: of two
    // runs on one folder only one can make it, and a run that fails later
    // removes only the file it made itself.
    const QByteArray nativePath = QFile::encodeName(file.absoluteFilePath());
    const UniqueFd created(::open(nativePath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!created) {
        if (errno == EEXIST)
            return QStringLiteral("a file already exists at %1; it is left as it is").arg(path);
        return QString::fromLocal8Bit(std::strerror(errno));
    }
    struct stat made
    {
    };
    ::fstat(created.get(), &made);

    QString failure;
    {
        // mode=rw: the empty file made above is the database.
        const PrivateConnection connection(file.absoluteFilePath(), RegisterFileMode::ReadWrite);
        QSqlDatabase database = connection.database();
        failure = connection.error();
        if (failure.isEmpty()) {
            failure = runSchema(database, kRegisterSchema);
            // The helper indexes of the fuzzy search, with their triggers.
            for (const GbkString& table : {RegisterStatements::outgoingTable(), RegisterStatements::incomingTable()}) {
                if (failure.isEmpty())
                    failure = SearchIndex::install(database, toQString(table));
            }
            // The count of barcodes that numbering reads.
            if (failure.isEmpty())
                failure = BarcodeCount::install(database);
        }
    }
    struct stat now
    {
    };
    if (!failure.isEmpty() && ::lstat(nativePath.constData(), &now) == 0 && sameFile(now, made))
        ::unlink(nativePath.constData());
    return failure;
}

QString createServerRegister(const QSqlDatabase& database)
{
    QSqlQuery query(database);
    if (!query.exec(QStringLiteral("SELECT string_agg(n, '、') FROM unnest(ARRAY['发文登记表', '收文登记表', "
                                   "'人员信息表', '号码占用表']) AS n WHERE to_regclass(n) IS NOT NULL")) ||
        !query.next())
        return sqlErrorText(query.lastError());
    if (!query.value(0).isNull())
        return QStringLiteral("the database already holds %1; it is left untouched").arg(query.value(0).toString());
    query.finish();
    TransactionGuard transaction(database);
    if (!transaction.isOpen())
        return sqlErrorText(database.lastError());
    if (QString failure = runSchema(database, kPostgresRegisterSchema); !failure.isEmpty())
        return failure;
    if (QString failure = BarcodeCount::installInTransaction(database); !failure.isEmpty())
        return failure;
    if (!transaction.commit())
        return sqlErrorText(database.lastError());
    return {};
}

} // namespace regdesk
