#pragma once

#include <QString>

class QWidget;

namespace regdesk {

// Message boxes and file dialogs go through this interface so that tests can
// answer them from a script and check what the user would have been shown.
class Prompter
{
public:
    enum class Buttons
    {
        Ok,
        OkCancel,
        YesNo,
        YesNoCancel,
    };
    enum class Icon
    {
        None,
        Information,
        Question,
        Warning, // also the exclamation mark of the Windows boxes
        Critical,
    };
    enum class Answer
    {
        Ok,
        Cancel,
        Yes,
        No,
    };

    struct Message
    {
        QString text;
        QString caption; // empty: the program's name
        Buttons buttons = Buttons::Ok;
        Icon icon = Icon::None;
        Answer defaultAnswer = Answer::Ok;
    };

    virtual ~Prompter() = default;

    // Shows a modal box and returns the button chosen (closing the box counts
    // as Cancel, or as No where there is no Cancel, or Ok for a plain box).
    virtual Answer ask(QWidget* owner, const Message& message) = 0;

    // Closes open boxes with this caption, as the desk's timers do with
    // self-closing notices. Returns how many were closed.
    virtual int closeMessages(const QString& caption) = 0;

    // Empty text when the user cancels.
    virtual QString openFileName(QWidget* owner, const QString& caption, const QString& directory,
                                 const QString& filter) = 0;
    virtual QString saveFileName(QWidget* owner, const QString& caption, const QString& directory,
                                 const QString& filter) = 0;

    // Shorthand for a plain box with an OK button.
    void inform(QWidget* owner, const QString& text, const QString& caption = {}, Icon icon = Icon::None)
    {
        ask(owner, Message{text, caption, Buttons::Ok, icon, Answer::Ok});
    }
};

} // namespace regdesk
