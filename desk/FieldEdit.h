#pragma once

#include <QLineEdit>

namespace regdesk {

// The edit of the forms' plain fields. Enter moves on to the next field like
// Tab; a paste replaces the whole text by the clipboard's plain text cleaned of
// blanks and line breaks (a document number or title copied out of a document
// often carries them).
class FieldEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit FieldEdit(QWidget* parent = nullptr);

    // What Ctrl+V, Shift+Insert and the context menu's paste do.
    void pasteCleaned();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace regdesk
