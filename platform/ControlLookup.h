#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QVariant>
#include <QWidget>

namespace regdesk {

// Every control of the desk's forms carries its documented numeric id in the
// property "controlId".
inline constexpr const char* kControlIdProperty = "controlId";

inline void setControlId(QWidget* control, int id)
{
    control->setProperty(kControlIdProperty, id);
}

// Gives a control its documented id, an object name for tests and the name a
// screen reader reads.
inline void describe(QWidget* control, int id, const char* objectName, const QString& accessibleName)
{
    setControlId(control, id);
    control->setObjectName(QString::fromLatin1(objectName));
    control->setAccessibleName(accessibleName);
    // On Linux a combo box is read out by its current text: name its edit too.
    if (auto* combo = qobject_cast<QComboBox*>(control); combo && combo->lineEdit())
        combo->lineEdit()->setAccessibleName(accessibleName);
}

// The first descendant of `root` with that id (or `root` itself), else null.
template <typename T = QWidget> T* findControl(const QWidget* root, int id)
{
    if (!root)
        return nullptr;
    for (T* child : root->findChildren<T*>()) {
        if (child->property(kControlIdProperty).toInt() == id && child->property(kControlIdProperty).isValid())
            return child;
    }
    return nullptr;
}

} // namespace regdesk
