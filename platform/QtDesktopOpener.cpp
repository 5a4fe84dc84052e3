#include "platform/QtDesktopOpener.h"

#include "platform/FileSystem.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace regdesk {

bool QtDesktopOpener::openFolder(const GbkString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromUtf8(toNativePath(path))));
}

bool QtDesktopOpener::openFile(const GbkString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromUtf8(toNativePath(path))));
}

} // namespace regdesk
