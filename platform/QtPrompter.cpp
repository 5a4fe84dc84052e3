#include "platform/QtPrompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>

namespace regdesk {
namespace {

QMessageBox::Icon toQtIcon(Prompter::Icon icon)
{
    switch (icon) {
    case Prompter::Icon::Information:
        return QMessageBox::Information;
    case Prompter::Icon::Question:
        return QMessageBox::Question;
    case Prompter::Icon::Warning:
        return QMessageBox::Warning;
    case Prompter::Icon::Critical:
        return QMessageBox::Critical;
    case Prompter::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButton toQtButton(Prompter::Answer answer)
{
    switch (answer) {
    case Prompter::Answer::Ok:
        return QMessageBox::Ok;
    case Prompter::Answer::Cancel:
        return QMessageBox::Cancel;
    case Prompter::Answer::Yes:
        return QMessageBox::Yes;
    case Prompter::Answer::No:
        return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButtons toQtButtons(Prompter::Buttons buttons)
{
    switch (buttons) {
    case Prompter::Buttons::Ok:
        return QMessageBox::Ok;
    case Prompter::Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case Prompter::Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case Prompter::Buttons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

Prompter::Answer escapeAnswer(Prompter::Buttons buttons)
{
    switch (buttons) {
    case Prompter::Buttons::Ok:
        return Prompter::Answer::Ok;
    case Prompter::Buttons::YesNo:
        return Prompter::Answer::No;
    case Prompter::Buttons::OkCancel:
    case Prompter::Buttons::YesNoCancel:
        break;
    }
    return Prompter::Answer::Cancel;
}

} // namespace

Prompter::Answer QtPrompter::ask(QWidget* owner, const Message& message)
{
    const QString caption = message.caption.isEmpty() ? QApplication::applicationName() : message.caption;
    QMessageBox box(toQtIcon(message.icon), caption, message.text, toQtButtons(message.buttons), owner);
    box.setDefaultButton(toQtButton(message.defaultAnswer));
    const int result = box.exec();
    switch (result) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return escapeAnswer(message.buttons);
    }
}

int QtPrompter::closeMessages(const QString& caption)
{
    int closed = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box && box->isVisible() && box->windowTitle() == caption) {
            box->done(QMessageBox::Ok);
            ++closed;
        }
    }
    return closed;
}

QString QtPrompter::openFileName(QWidget* owner, const QString& caption, const QString& directory,
                                 const QString& filter)
{
    return QFileDialog::getOpenFileName(owner, caption, directory, filter);
}

QString QtPrompter::saveFileName(QWidget* owner, const QString& caption, const QString& directory,
                                 const QString& filter)
{
    return QFileDialog::getSaveFileName(owner, caption, directory, filter);
}

} // namespace regdesk
