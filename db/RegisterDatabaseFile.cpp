#include "db/RegisterDatabaseFile.h"

#include "db/RegisterSchema.h"
#include "db/RegisterStatements.h"
#include "db/SearchIndex.h"
#include "platform/GbkQt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace regdesk {

QString createRegisterDatabase(const QString& path)
{
    const QFileInfo file(path);
    if (file.exists())
        return QStringLiteral("a file already exists at %1; it is left as it is").arg(path);
    if (!file.dir().exists())
        return QStringLiteral("the folder %1 does not exist").arg(file.absolutePath());

    const QString connectionName = QStringLiteral("regdesk-create");
    QString failure;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
        // mode=rwc with exclusive creation checked above; URI so odd characters in the path are safe.
        QUrl uri = QUrl::fromLocalFile(file.absoluteFilePath());
        uri.setQuery(QStringLiteral("mode=rwc"));
        database.setDatabaseName(uri.toString(QUrl::FullyEncoded));
        database.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
        if (!database.open()) {
            failure = database.lastError().text();
        } else {
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
                if (!query.exec(text)) {
                    failure = query.lastError().text();
                    break;
                }
            }
            // The helper indexes of the fuzzy search, with their triggers.
            for (const GbkString& table : {RegisterStatements::outgoingTable(), RegisterStatements::incomingTable()}) {
                if (failure.isEmpty())
                    failure = SearchIndex::install(database, toQString(table));
            }
            database.close();
        }
    }
    QSqlDatabase::removeDatabase(connectionName);
    if (!failure.isEmpty())
        QFile::remove(file.absoluteFilePath());
    return failure;
}

} // namespace regdesk
