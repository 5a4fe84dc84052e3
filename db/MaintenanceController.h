#pragma once

#include "db/RegisterMaintenance.h"
#include "platform/Gbk.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <functional>

class QWidget;

namespace regdesk {

class AdoDatabase;
class Prompter;

// The form's 压缩库 and 备份库 buttons, on the database that document.ini
// names at that moment. On data.db each closes the active connection, works
// on the closed file and opens the connection again; a connection that
// cannot be opened again closes the form. The server's register is
// maintained while the desks stay connected.
class MaintenanceController : public QObject
{
    Q_OBJECT

public:
    // The form's timer 2: the backup's second half runs on its tick.
    static constexpr int kBackupTimerId = 2;
    static constexpr int kBackupTimerIntervalMs = 300;

    // `owner` (may be null) owns the boxes that belong to the form;
    // `documentDateTime` gives the date and time of the 成文时期 picker, which
    // names the backup; `closeForm` closes the form after a failed reconnect.
    MaintenanceController(AdoDatabase& database, GbkString programDirectory, Prompter& prompter, QWidget* owner,
                          std::function<QDateTime()> documentDateTime, std::function<void()> closeForm,
                          QObject* parent = nullptr);
    ~MaintenanceController() override;

    const QTimer& backupTimer() const { return m_backupTimer; }

public slots:
    // 压缩库: compact in place, "数据压缩完成！", reconnect.
    void compactDatabaseFile();
    // 备份库: "首次备份" when there is no backup yet, then timer 2.
    void backupDatabaseFile();
    // Timer 2's tick: write the new backup, delete the older ones
    // ("DeleteFile BAD" for each that stays), "数据库备份完成!", reconnect.
    void continueBackup();

private:
    // The maintenance of the database named now; null (and told) when the
    // settings name a database the desk does not know.
    std::unique_ptr<RegisterMaintenance> maintenance();
    void reconnect();

    AdoDatabase& m_database;
    GbkString m_programDirectory;
    Prompter& m_prompter;
    QWidget* m_owner;
    std::function<QDateTime()> m_documentDateTime;
    std::function<void()> m_closeForm;
    QTimer m_backupTimer;
};

} // namespace regdesk
