#include "desk/FieldEdit.h"

#include "desk/RegistrationFormLogic.h"
#include "platform/GbkQt.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

namespace regdesk {

FieldEdit::FieldEdit(QWidget* parent) : QLineEdit(parent)
{
    // Drops would bypass the cleaning.
    setDragEnabled(false);
    setAcceptDrops(false);
}

void FieldEdit::pasteCleaned()
{
    if (isReadOnly())
        return;
    const QString clipboard = QApplication::clipboard()->text(QClipboard::Clipboard);
    setText(toQString(RegistrationFormLogic::cleanPastedText(fromQString(clipboard))));
    setCursorPosition(static_cast<int>(text().size()));
}

void FieldEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        focusNextChild();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        pasteCleaned();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void FieldEdit::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createStandardContextMenu();
    for (QAction* action : menu->actions()) {
        if (action->objectName() == QStringLiteral("edit-paste")) {
            action->disconnect();
            connect(action, &QAction::triggered, this, &FieldEdit::pasteCleaned);
        }
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void FieldEdit::mouseReleaseEvent(QMouseEvent* event)
{
    // The X11 middle-button paste of the selection is not offered here: every
    // paste into a field goes through the cleaning above.
    if (event->button() == Qt::MiddleButton) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

} // namespace regdesk
