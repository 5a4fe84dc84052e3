#include "FakePrompter.h"

namespace regdesk::test {

Prompter::Answer FakePrompter::ask(QWidget* owner, const Message& message)
{
    m_shown.push_back(Shown{owner, message});
    if (m_hook)
        m_hook(message);
    if (m_answers.empty())
        return message.defaultAnswer;
    const Answer answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

int FakePrompter::closeMessages(const QString& caption)
{
    m_closed.push_back(caption);
    return 1;
}

QString FakePrompter::openFileName(QWidget*, const QString&, const QString&, const QString&)
{
    if (m_files.empty())
        return {};
    QString path = m_files.front();
    m_files.pop_front();
    return path;
}

QString FakePrompter::saveFileName(QWidget* owner, const QString& caption, const QString& directory,
                                   const QString& filter)
{
    return openFileName(owner, caption, directory, filter);
}

QStringList FakePrompter::texts() const
{
    QStringList texts;
    for (const Shown& shown : m_shown)
        texts << shown.message.text;
    return texts;
}

QStringList FakePrompter::captions() const
{
    QStringList captions;
    for (const Shown& shown : m_shown)
        captions << shown.message.caption;
    return captions;
}

void FakePrompter::clear()
{
    m_shown.clear();
    m_closed.clear();
    m_answers.clear();
}

} // namespace regdesk::test
