#include "platform/ScreenFit.h"

#include <QFrame>
#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QWidget>

namespace regdesk {

ScreenFit fitToScreen(QSize designed, QSize minimum, QRect available)
{
    const QSize room = (available.size() - kWindowFrameRoom).expandedTo(QSize(0, 0));
    ScreenFit fit;
    fit.size = designed.boundedTo(room);
    fit.scrolls = minimum.width() > room.width() || minimum.height() > room.height();
    return fit;
}

void fitFormToScreen(QWidget& form, std::optional<QRect> available)
{
    if (!available) {
        const QScreen* screen = form.screen();
        if (!screen)
            return;
        available = screen->availableGeometry();
    }
    const ScreenFit fit = fitToScreen(form.size(), form.minimumSizeHint(), *available);
    if (fit.scrolls && form.layout()) {
        // The form's layout, with its controls, moves onto a page inside a
        // scroll area that takes the form's place.
        auto* page = new QWidget;
        page->setObjectName(QStringLiteral("formPage"));
        page->setLayout(form.layout());
        auto* area = new QScrollArea(&form);
        area->setObjectName(QStringLiteral("formScrollArea"));
        area->setFrameShape(QFrame::NoFrame);
        area->setWidgetResizable(true);
        area->setWidget(page);
        auto* outer = new QVBoxLayout(&form);
        outer->setContentsMargins(0, 0, 0, 0);
        outer->addWidget(area);
        // The form's minimum was its old layout's: now it is the scroll area's.
        outer->activate();
    }
    if (fit.size != form.size())
        form.resize(fit.size);
}

} // namespace regdesk
