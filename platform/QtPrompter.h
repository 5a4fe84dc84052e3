#pragma once

#include "platform/Prompter.h"

namespace regdesk {

// The real boxes: QMessageBox and QFileDialog.
class QtPrompter final : public Prompter
{
public:
    Answer ask(QWidget* owner, const Message& message) override;
    int closeMessages(const QString& caption) override;
    QString openFileName(QWidget* owner, const QString& caption, const QString& directory,
                         const QString& filter) override;
    QString saveFileName(QWidget* owner, const QString& caption, const QString& directory,
                         const QString& filter) override;
};

} // namespace regdesk
