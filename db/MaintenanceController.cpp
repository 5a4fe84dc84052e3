#include "db/MaintenanceController.h"

#include "db/AdoDatabase.h"
#include "platform/FileSystem.h"
#include "platform/Prompter.h"

namespace regdesk {

MaintenanceController::MaintenanceController(AdoDatabase& database, GbkString programDirectory, Prompter& prompter,
                                             QWidget* owner, std::function<QDateTime()> documentDateTime,
                                             std::function<void()> closeForm, QObject* parent)
    : QObject(parent), m_database(database), m_programDirectory(std::move(programDirectory)), m_prompter(prompter),
      m_owner(owner), m_documentDateTime(std::move(documentDateTime)), m_closeForm(std::move(closeForm)),
      m_maintenance(QString::fromUtf8(toNativePath(m_programDirectory)))
{
    m_backupTimer.setInterval(kBackupTimerIntervalMs);
    connect(&m_backupTimer, &QTimer::timeout, this, &MaintenanceController::continueBackup);
}

MaintenanceController::~MaintenanceController() = default;

void MaintenanceController::compactDatabaseFile()
{
    m_database.closeConnection();
    const QString failure = m_maintenance.compact();
    m_prompter.inform(nullptr, failure.isEmpty() ? QStringLiteral("数据压缩完成！") : failure);
    reconnect();
}

void MaintenanceController::backupDatabaseFile()
{
    if (m_maintenance.backupNames().isEmpty())
        m_prompter.inform(m_owner, QStringLiteral("首次备份"));
    // The old backups now go only after the new one is written and checked,
    // so there is nothing left to wait for: the first tick does the work,
    // once the box has gone and the form has repainted.
    m_backupTimer.start();
}

void MaintenanceController::continueBackup()
{
    m_backupTimer.stop();
    m_database.closeConnection();
    QDateTime stamp = m_documentDateTime ? m_documentDateTime() : QDateTime();
    if (!stamp.isValid())
        stamp = QDateTime::currentDateTime();
    const DatabaseMaintenance::BackupResult result = m_maintenance.backUp(stamp);
    if (!result.failure.isEmpty()) {
        m_prompter.inform(nullptr, result.failure);
    } else {
        for (qsizetype i = 0; i < result.undeletable.size(); ++i)
            m_prompter.inform(m_owner, QStringLiteral("DeleteFile BAD"));
        m_prompter.inform(m_owner, QStringLiteral("数据库备份完成!"));
    }
    reconnect();
}

void MaintenanceController::reconnect()
{
    if (!m_database.openConnection(AdoDatabase::connectionStringFor(m_programDirectory))) {
        m_prompter.inform(m_owner, QStringLiteral("连接服务器失败，请重新配置！"), QStringLiteral("系统提示"));
        if (m_closeForm)
            m_closeForm();
        return;
    }
    AdoDatabase::setActiveConnection(m_database.connection());
}

} // namespace regdesk
