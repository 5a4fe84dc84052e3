#pragma once

#include <QTranslator>

namespace regdesk {

// What the desk's windows need before the first widget exists: the Song-style
// font of the forms (installDeskFonts) and Qt's own strings in Chinese. The
// Windows desk's message-box buttons and file dialogs were the system's, in
// Chinese (确定, 取消, 是, 否; 打开, 文件名), whatever the clerk's language
// settings; Qt's are English unless its translation is installed. Made once
// the QApplication exists and kept for the program's life.
class DeskLook
{
public:
    // Qt's translation of its own strings, from Debian's qt6-translations-l10n.
    static constexpr const char* kQtTranslation = "qtbase_zh_CN";

    DeskLook();
    ~DeskLook();
    DeskLook(const DeskLook&) = delete;
    DeskLook& operator=(const DeskLook&) = delete;

    // False when the translation is missing: Qt's strings then stay English.
    bool hasChineseQtStrings() const { return m_installed; }

private:
    QTranslator m_qtStrings;
    bool m_installed = false;
};

} // namespace regdesk
