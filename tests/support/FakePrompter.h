#pragma once

#include "platform/Prompter.h"

#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

namespace regdesk::test {

// Answers message boxes from a script and records everything shown, so tests
// never block on a real modal box.
class FakePrompter final : public Prompter
{
public:
    struct Shown
    {
        QWidget* owner = nullptr;
        Message message;
    };

    // Queues the answer for the next box; with the queue empty every box gets
    // its default answer.
    void willAnswer(Answer answer) { m_answers.push_back(answer); }
    // Called for each box before it is answered (for tests that act while a box is "open").
    void onAsk(std::function<void(const Message&)> hook) { m_hook = std::move(hook); }
    void willChooseFile(QString path) { m_files.push_back(std::move(path)); }

    Answer ask(QWidget* owner, const Message& message) override;
    int closeMessages(const QString& caption) override;
    QString openFileName(QWidget* owner, const QString& caption, const QString& directory,
                         const QString& filter) override;
    QString saveFileName(QWidget* owner, const QString& caption, const QString& directory,
                         const QString& filter) override;

    const std::vector<Shown>& shown() const { return m_shown; }
    QStringList texts() const;
    QStringList captions() const;
    const QStringList& closedCaptions() const { return m_closed; }
    int pendingAnswers() const { return static_cast<int>(m_answers.size()); }
    void clear();

private:
    std::deque<Answer> m_answers;
    std::deque<QString> m_files;
    std::vector<Shown> m_shown;
    QStringList m_closed;
    std::function<void(const Message&)> m_hook;
};

} // namespace regdesk::test
