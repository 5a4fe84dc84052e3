#include "db/MaintenanceController.h"

#include "db/AdoDatabase.h"
#include "platform/FileSystem.h"
#include "platform/Prompter.h"

namespace regdesk {

MaintenanceController::MaintenanceController(AdoDatabase& database, GbkString programDirectory, Prompter& prompter,
                                             QWidget* owner, std::function<QDateTime()> documentDateTime,
                                             std::function<void()> closeForm, QObject* parent)
    : QObject(parent), m_database(database), m_programDirectory(std::move(programDirectory)), m_prompter(prompter),
      m_owner(owner), m_documentDateTime(std::move(documentDateTime)), m_closeForm(std::move(closeForm))
{
    m_backupTimer.setInterval(kBackupTimerIntervalMs);
    connect(&m_backupTimer, &QTimer::timeout, this, &MaintenanceController::continueBackup);
}

MaintenanceController::~MaintenanceController() = default;

std::unique_ptr<RegisterMaintenance> MaintenanceController::maintenance()
{
    std::unique_ptr<RegisterMaintenance> maintenance =
        RegisterMaintenance::forDirectory(QString::fromUtf8(toNativePath(m_programDirectory)));
    if (!maintenance)
        m_prompter.inform(nullptr, QStringLiteral("document.ini 的 [数据库] 中的类型不是 PostgreSQL 或 SQLite。"));
    return maintenance;
}

void MaintenanceController::compactDatabaseFile()
{
    const std::unique_ptr<RegisterMaintenance> work = maintenance();
    if (!work)
        return;
    const bool closes = work->needsClosedDatabase();
    if (closes)
        m_database.closeConnection();
    const QString failure = work->compact();
    m_prompter.inform(nullptr, failure.isEmpty() ? QStringLiteral("数据压缩完成！") : failure);
    if (closes)
        reconnect();
}

void MaintenanceController::backupDatabaseFile()
{
    const std::unique_ptr<RegisterMaintenance> work = maintenance();
    if (!work)
        return;
    if (work->backupNames().isEmpty())
        m_prompter.inform(m_owner, QStringLiteral("首次备份"));
    // The old backups now go only after the new one is written and checked,
    // so there is nothing left to wait for: the first tick does the work,
    // once the box has gone and the form has repainted.
    m_backupTimer.start();
}

void MaintenanceController::continueBackup()
{
    m_backupTimer.stop();
    const std::unique_ptr<RegisterMaintenance> work = maintenance();
    if (!work)
        return;
    const bool closes = work->needsClosedDatabase();
    if (closes)
        m_database.closeConnection();
    QDateTime stamp = m_documentDateTime ? m_documentDateTime() : QDateTime();
    if (!stamp.isValid())
        stamp = QDateTime::currentDateTime();
    const RegisterMaintenance::BackupResult result = work->backUp(stamp);
    if (!result.failure.isEmpty()) {
        m_prompter.inform(nullptr, result.failure);
    } else {
        for (qsizetype i = 0; i < result.undeletable.size(); ++i)
            m_prompter.inform(m_owner, QStringLiteral("DeleteFile BAD"));
        m_prompter.inform(m_owner, QStringLiteral("数据库备份完成!"));
    }
    if (closes)
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
