#pragma once

#include "platform/Prompter.h"

#include <string>

namespace regdesk {

// The boxes of the database layer and of the desk's code, collected as lines
// of text for a command without a screen; every question gets its default
// answer.
class CollectingPrompter final : public Prompter
{
public:
    Answer ask(QWidget*, const Message& message) override
    {
        lines += message.text.toStdString() + "\n";
        return message.defaultAnswer;
    }
    int closeMessages(const QString&) override { return 0; }
    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }

    std::string lines;
};

} // namespace regdesk
