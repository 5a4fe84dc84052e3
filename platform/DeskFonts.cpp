#include "platform/DeskFonts.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

namespace regdesk {

void installDeskFonts()
{
    const QStringList families = QFontDatabase::families();
    const QStringList preferred = {QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC"),
                                   QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("AR PL UMing CN")};
    for (const QString& family : preferred) {
        if (!families.contains(family))
            continue;
        QFont::insertSubstitution(QStringLiteral("宋体"), family);
        QFont::insertSubstitution(QStringLiteral("SimSun"), family);
        QFont font(family);
        font.setPointSize(10);
        QApplication::setFont(font);
        return;
    }
}

} // namespace regdesk
