#include "desk/FileIntake.h"

#include "desk/RegistrationEvents.h"
#include "desk/RegistrationView.h"
#include "platform/BackgroundWork.h"
#include "platform/Prompter.h"
#include "scanner/ScanIntake.h"

#include <QCursor>
#include <QGuiApplication>

namespace regdesk {

FileIntake::FileIntake(RegistrationView& view, Prompter& prompter, ScanIntake& intake, Reader reader)
    : m_view(view), m_prompter(prompter), m_intake(intake), m_reader(std::move(reader))
{
    connect(&view.events(), &RegistrationEvents::filesDropped, this, &FileIntake::takeFiles);
}

void FileIntake::takeFiles(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    if (m_view.mode() != RegistrationMode::Incoming) {
        m_prompter.inform(m_view.boxOwner(), QStringLiteral("发文登记时不能收文，请先切换到收文登记。"),
                          QStringLiteral("收文"));
        return;
    }
    m_waiting.insert(m_waiting.end(), paths.begin(), paths.end());
    // Reading already: the loop below takes these too.
    if (!m_reading)
        readWaitingFiles();
}

void FileIntake::readWaitingFiles()
{
    m_reading = true;
    while (!m_waiting.empty()) {
        const QString path = m_waiting.front();
        m_waiting.pop_front();
        FileReading reading;
        {
            // Rendering a page takes a moment: the form keeps painting and shows it is busy.
            // (No cursor to change where there is no screen.)
            const bool busyCursor = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
            if (busyCursor)
                QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
            const QString failure = runInBackground([this, &path, &reading] {
                reading = m_reader(path);
                return QString();
            });
            if (busyCursor)
                QGuiApplication::restoreOverrideCursor();
            if (!failure.isEmpty()) {
                reading.status = FileReading::Status::Unreadable;
                reading.reason = failure;
            }
        }
        // The clerk may have switched to 发文登记 while a question was open.
        if (m_view.mode() != RegistrationMode::Incoming) {
            m_waiting.clear();
            break;
        }
        if (reading.status == FileReading::Status::Payload)
            m_intake.takePayload(reading.payload);
        else
            m_prompter.inform(m_view.boxOwner(), readingMessage(path, reading), QStringLiteral("收文"));
    }
    m_reading = false;
}

} // namespace regdesk
