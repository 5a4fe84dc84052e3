#pragma once

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
