#include "platform/DeskLook.h"

#include "platform/DeskFonts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <cstdio>

namespace regdesk {

DeskLook::DeskLook()
{
    installDeskFonts();
    // Loaded by its file name, not through the locale, so an English or "C"
    // session gets the Chinese buttons too.
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (m_qtStrings.load(QString::fromLatin1(kQtTranslation), folder))
        m_installed = QCoreApplication::installTranslator(&m_qtStrings);
    if (!m_installed) {
        std::fprintf(stderr,
                     "regdesk: %s.qm not found in %s (Debian package qt6-translations-l10n): "
                     "the buttons of message boxes and file dialogs stay English\n",
                     kQtTranslation, folder.toLocal8Bit().constData());
    }
}

DeskLook::~DeskLook()
{
    if (m_installed)
        QCoreApplication::removeTranslator(&m_qtStrings);
}

} // namespace regdesk
