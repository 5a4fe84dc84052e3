#include "TempDeskFolder.h"

#include "db/RegisterDatabaseFile.h"
#include "platform/FileSystem.h"
#include "settings/AppPaths.h"

#include <QDir>
#include <QFile>

namespace regdesk::test {

TempDeskFolder::TempDeskFolder() = default;

GbkString TempDeskFolder::gbkPath() const
{
    return fromNativePath(m_dir.path().toStdString());
}

QString TempDeskFolder::filePath(const QString& name) const
{
    return QDir(m_dir.path()).filePath(name);
}

bool TempDeskFolder::createDatabase()
{
    return createRegisterDatabase(filePath(QStringLiteral("data.db"))).isEmpty();
}

void TempDeskFolder::setDatabaseSection(const std::string& utf8Section)
{
    m_databaseSection = utf8Section;
    writeSettings({});
}

void TempDeskFolder::writeSettings(const std::string& utf8Text)
{
    std::string crlf;
    const std::string text =
        m_databaseSection.empty() ? utf8Text : utf8Text + (utf8Text.empty() ? "" : "\n") + m_databaseSection;
    for (const char c : text) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    writeFile(QStringLiteral("document.ini"), utf8ToGbk(crlf));
}

void TempDeskFolder::writeFile(const QString& name, const std::string& bytes)
{
    QFile file(filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

void TempDeskFolder::useAsProgramDirectory(const GbkString& documentPath)
{
    const GbkString directory = gbkPath();
    AppPaths::set(StartupPaths{directory, documentPath, joinPath(directory, "document.ini")});
}

} // namespace regdesk::test
