#include "db/RegisterDatabaseFile.h"

#include "db/RegisterSchema.h"
#include "db/RegisterStatements.h"
#include "db/SearchIndex.h"
#include "platform/GbkQt.h"
#include "platform/UniqueFd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace regdesk {
namespace {

QString runSchema(QSqlDatabase& database)
{
    QSqlQuery query(database);
    const QString schema = QString::fromUtf8(kRegisterSchema);
    for (const QString& statement : schema.split(u';', Qt::SkipEmptyParts)) {
        QString text;
        for (const QString& line : statement.split(u'\n')) {
            if (!line.trimmed().startsWith(QStringLiteral("--")))
                text += line + u'\n';
        }
        if (text.trimmed().isEmpty())
            continue;
        if (!query.exec(text))
            return query.lastError().text();
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

    const QString connectionName = QStringLiteral("regdesk-create");
    QString failure;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
        // mode=rw: the empty file made above is the database; URI so odd characters in the path are safe.
        QUrl uri = QUrl::fromLocalFile(file.absoluteFilePath());
        uri.setQuery(QStringLiteral("mode=rw"));
        database.setDatabaseName(uri.toString(QUrl::FullyEncoded));
        database.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
        if (!database.open()) {
            failure = database.lastError().text();
        } else {
            failure = runSchema(database);
            // The helper indexes of the fuzzy search, with their triggers.
            for (const GbkString& table : {RegisterStatements::outgoingTable(), RegisterStatements::incomingTable()}) {
                if (failure.isEmpty())
                    failure = SearchIndex::install(database, toQString(table));
            }
            database.close();
        }
    }
    QSqlDatabase::removeDatabase(connectionName);
    struct stat now
    {
    };
    if (!failure.isEmpty() && ::lstat(nativePath.constData(), &now) == 0 && sameFile(now, made))
        ::unlink(nativePath.constData());
    return failure;
}

} // namespace regdesk
