#pragma once

#include "platform/Gbk.h"

#include <QString>
#include <QTemporaryDir>
#include <string>

namespace regdesk::test {

// A throw-away desk folder: optionally with an empty register database and a
// document.ini; sets the process-wide start-up paths to point at it.
class TempDeskFolder
{
public:
    TempDeskFolder();

    QString path() const { return m_dir.path(); }
    GbkString gbkPath() const;
    QString filePath(const QString& name) const;

    // Creates data.db with the empty registers; returns false on failure.
    bool createDatabase();
    // Writes document.ini from UTF-8 text, converted to GBK, with CR LF lines;
    // the database section, when there is one, follows the text.
    void writeSettings(const std::string& utf8Text);
    // Makes the folder's desk use a PostgreSQL database: a section [数据库]
    // (UTF-8) that every document.ini written from now on ends with.
    void setDatabaseSection(const std::string& utf8Section);
    // Writes raw bytes as a file of the folder.
    void writeFile(const QString& name, const std::string& bytes);
    // Makes this folder the program directory of the running process; with a
    // document path, of an add-in start.
    void useAsProgramDirectory(const GbkString& documentPath = {});

private:
    QTemporaryDir m_dir;
    std::string m_databaseSection;
};

} // namespace regdesk::test
