#pragma once

#include "desk/FormRecord.h"

#include <QObject>
#include <QStringList>

namespace regdesk {

// What the clerk does on a registration form, as the form announces it to the
// controllers that do the work. A controller connects to the events it
// handles; an event nobody handles does nothing.
class RegistrationEvents : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

signals:
    // Buttons.
    void confirmRequested();      // 1308 发文信息确认
    void makeBarcodeRequested();  // 1256 生成条码
    void saveRequested();         // 1025 保存
    void modeSwitchRequested();   // 1023 发文登记 / 收文登记
    void printTitlesRequested();  // 1014 打印标题
    void queryRequested();        // 110 收发文查询
    void compactRequested();      // 1312 压缩库
    void backupRequested();       // 1320 备份库
    void importPeopleRequested(); // 1319 更新人员表

    // F1, wherever the focus is in the form: the guide's chapter of this form.
    void helpRequested();

    // Fields.
    void titleFocusLost();       // 1238
    void numberDropDownClosed(); // 1242, once the choice has been applied
    void numberFocusLost();      // 1242

    // A double click on a row of the list while cell editing is off
    // (attaching a file to it).
    void rowDoubleClicked(int row);

    // Files dropped onto the form from the file manager (local paths), on
    // a form that takes them.
    void filesDropped(const QStringList& paths);

    // The form now shows `mode` (after a switch).
    void modeChanged(regdesk::RegistrationMode mode);
    // The form is closing.
    void closing();
};

} // namespace regdesk
