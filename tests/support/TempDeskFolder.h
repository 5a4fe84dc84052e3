#pragma once

#include "platform/Gbk.h"

#include <QString>
#include <QTemporaryDir>

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
    // Writes document.ini from UTF-8 text, converted to GBK, with CR LF lines.
    void writeSettings(const std::string& utf8Text);
    // Writes raw bytes as a file of the folder.
    void writeFile(const QString& name, const std::string& bytes);
    // Makes this folder the program directory of the running process; with a
    // document path, of an add-in start.
    void useAsProgramDirectory(const GbkString& documentPath = {});

private:
    QTemporaryDir m_dir;
};

} // namespace regdesk::test
