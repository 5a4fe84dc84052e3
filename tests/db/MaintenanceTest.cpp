#include "FakePrompter.h"
#include "PostgresServer.h"
#include "TempDeskFolder.h"
#include "TestDatabase.h"
#include "db/AdoDatabase.h"
#include "db/AdoRecordset.h"
#include "db/AuditTrail.h"
#include "db/DatabaseMaintenance.h"
#include "db/MaintenanceController.h"
#include "db/PrivateConnection.h"
#include "db/ServerMaintenance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <cstdio>
#include <gtest/gtest.h>

using namespace regdesk;
using regdesk::test::FakePrompter;
using regdesk::test::TempDeskFolder;

namespace {

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs statements on the file through a connection that is closed again at once.
int execute(const QString& path, const QStringList& statements)
{
    int rows = -1;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        database.setDatabaseName(path);
        if (database.open()) {
            QSqlQuery query(database);
            for (const QString& statement : statements)
                query.exec(statement);
            if (query.exec(QStringLiteral("SELECT COUNT(*) FROM 发文登记表")) && query.next())
                rows = query.value(0).toInt();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return rows;
}

class MaintenanceFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.createDatabase());
        ASSERT_EQ(execute(database(), {QStringLiteral("INSERT INTO 发文登记表 (发文号) VALUES ('档发〔2024〕1号')")}),
                  1);
    }
    QString database() const { return m_folder.filePath(QStringLiteral("data.db")); }
    QStringList entries() const
    {
        return QDir(m_folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    }

    TempDeskFolder m_folder;
};

// Maintenance with one step made to fail after it has left its traces.
class FaultyMaintenance final : public DatabaseMaintenance
{
public:
    enum class Fault
    {
        CopyFails,     // a half-written copy, as on a full disk
        CopyIsCorrupt, // the real check must catch it
        RenameFails,
    };
    FaultyMaintenance(const QString& directory, Fault fault) : DatabaseMaintenance(directory), m_fault(fault) {}

protected:
    QString writeCompactedCopy(const QString& source, const QString& target) override
    {
        const QString failure = DatabaseMaintenance::writeCompactedCopy(source, target);
        if (m_fault == Fault::CopyFails) {
            // A full disk stops the copy with its journal still beside it.
            QFile journal(target + QStringLiteral("-journal"));
            journal.open(QIODevice::WriteOnly);
            journal.write("half a journal");
            return QStringLiteral("database or disk is full");
        }
        if (m_fault == Fault::CopyIsCorrupt) {
            QFile file(target);
            file.open(QIODevice::ReadWrite);
            file.seek(100);
            file.write(QByteArray(4096, '\xff'));
        }
        return failure;
    }
    QString replaceFile(const QString& from, const QString& to) override
    {
        return m_fault == Fault::RenameFails ? QStringLiteral("rename failed")
                                             : DatabaseMaintenance::replaceFile(from, to);
    }

private:
    Fault m_fault;
};

TEST_F(MaintenanceFolder, CompactionReplacesTheRegisterAndRemovesALeftoverTemporaryFile)
{
    m_folder.writeFile(QStringLiteral("data.tmp"), "left by a crash");
    execute(database(),
            {QStringLiteral("CREATE TABLE ballast (x)"),
             QStringLiteral("INSERT INTO ballast VALUES (zeroblob(200000))"), QStringLiteral("DROP TABLE ballast")});
    const qint64 before = QFileInfo(database()).size();

    DatabaseMaintenance maintenance(m_folder.path());
    EXPECT_EQ(maintenance.compact(), QString());
    EXPECT_EQ(entries(), QStringList{QStringLiteral("data.db")});
    EXPECT_LT(QFileInfo(database()).size(), before / 2);
    EXPECT_EQ(execute(database(), {}), 1);
}

TEST_F(MaintenanceFolder, CompactionIsRefusedWhileTheRegisterIsOpenOrHasAJournal)
{
    const QByteArray before = contentOf(database());
    QFile holder(database());
    ASSERT_TRUE(holder.open(QIODevice::ReadOnly));

    const QString failure = DatabaseMaintenance(m_folder.path()).compact();
    EXPECT_TRUE(failure.contains(QString::number(QCoreApplication::applicationPid()))) << failure.toStdString();
    holder.close();
    // A journal beside the register would be played into the copy that takes its name.
    m_folder.writeFile(QStringLiteral("data.db-journal"), "");
    EXPECT_TRUE(DatabaseMaintenance(m_folder.path()).compact().contains(QStringLiteral("data.db-journal")));
    EXPECT_EQ(contentOf(database()), before);
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("data.db"), QStringLiteral("data.db-journal")}));
}

// The trail of a data.db as "操作 原记录" lines; "broken" when its chain does not hold.
QStringList trailOf(const QString& path)
{
    const PrivateConnection connection(path, RegisterFileMode::ReadOnly);
    const AuditTrail trail(connection.database());
    QStringList lines;
    trail.forEach({}, [&](const AuditTrail::Entry& entry) { lines << entry.action + u' ' + entry.before; });
    if (trail.verify().firstBad)
        lines << QStringLiteral("broken");
    return lines;
}

TEST_F(MaintenanceFolder, BackupAndCompactionAreLoggedAndCompactionKeepsTheTrail)
{
    m_folder.writeFile(QStringLiteral("2023年1月2日3时4分.bak"), "older backup");
    DatabaseMaintenance maintenance(m_folder.path());
    EXPECT_EQ(maintenance.backUp(QDateTime(QDate(2024, 3, 5), QTime(14, 7))).failure, QString());
    EXPECT_EQ(maintenance.compact(), QString());
    const QStringList trail = trailOf(database());
    ASSERT_EQ(trail.size(), 2) << trail.join(u'\n').toStdString();
    EXPECT_EQ(
        trail[0],
        QStringLiteral("备份库 [[\"备份\",\"2024年3月5日14时7分.bak\"],[\"删除旧备份\",\"2023年1月2日3时4分.bak\"]]"));
    EXPECT_TRUE(trail[1].startsWith(QStringLiteral("压缩库 [[\"数据库\",\"%1\"]").arg(database())));
}

TEST_F(MaintenanceFolder, ABackupThatCannotBeLoggedDeletesNothing)
{
    execute(database(), {QStringLiteral("CREATE TRIGGER injected BEFORE INSERT ON 操作日志 BEGIN "
                                        "SELECT RAISE(ABORT, 'injected'); END")});
    m_folder.writeFile(QStringLiteral("2023年1月2日3时4分.bak"), "older backup");
    const DatabaseMaintenance::BackupResult result =
        DatabaseMaintenance(m_folder.path()).backUp(QDateTime(QDate(2024, 3, 5), QTime(14, 7)));
    EXPECT_TRUE(result.failure.contains(QStringLiteral("操作日志"))) << result.failure.toStdString();
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("2023年1月2日3时4分.bak"), QStringLiteral("data.db")}));
}

class InjectedFailure : public MaintenanceFolder, public ::testing::WithParamInterface<FaultyMaintenance::Fault>
{
};

TEST_P(InjectedFailure, CompactionKeepsTheRegisterUntouched)
{
    const QByteArray before = contentOf(database());
    FaultyMaintenance maintenance(m_folder.path(), GetParam());
    EXPECT_FALSE(maintenance.compact().isEmpty());
    EXPECT_EQ(contentOf(database()), before);
    EXPECT_EQ(entries(), QStringList{QStringLiteral("data.db")});
}

TEST_P(InjectedFailure, BackupKeepsTheOlderBackups)
{
    m_folder.writeFile(QStringLiteral("2023年1月2日3时4分.bak"), "older backup");
    FaultyMaintenance maintenance(m_folder.path(), GetParam());
    EXPECT_FALSE(maintenance.backUp(QDateTime(QDate(2024, 3, 5), QTime(14, 7))).failure.isEmpty());
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("2023年1月2日3时4分.bak"), QStringLiteral("data.db")}));
    EXPECT_EQ(contentOf(m_folder.filePath(QStringLiteral("2023年1月2日3时4分.bak"))), "older backup");
}

std::string faultName(const ::testing::TestParamInfo<FaultyMaintenance::Fault>& row)
{
    static const char* const names[] = {"CopyFails", "CopyIsCorrupt", "RenameFails"};
    return names[static_cast<int>(row.param)];
}

INSTANTIATE_TEST_SUITE_P(Steps, InjectedFailure,
                         ::testing::Values(FaultyMaintenance::Fault::CopyFails, FaultyMaintenance::Fault::CopyIsCorrupt,
                                           FaultyMaintenance::Fault::RenameFails),
                         faultName);

class ControllerTest : public MaintenanceFolder
{
protected:
    void SetUp() override
    {
        MaintenanceFolder::SetUp();
        ASSERT_TRUE(m_database.openConnection(AdoDatabase::connectionStringFor(m_folder.gbkPath())));
        AdoDatabase::setActiveConnection(m_database.connection());
    }
    void TearDown() override { AdoDatabase::setActiveConnection(nullptr); }

    FakePrompter m_prompter;
    AdoDatabase m_database{m_prompter};
    int m_closed = 0;
    MaintenanceController m_controller{m_database,
                                       m_folder.gbkPath(),
                                       m_prompter,
                                       nullptr,
                                       [] { return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 59)); },
                                       [this] { ++m_closed; }};
};

TEST_F(ControllerTest, CompactionReportsAndReconnects)
{
    m_controller.compactDatabaseFile();
    EXPECT_EQ(m_prompter.texts(), QStringList{QStringLiteral("数据压缩完成！")});
    EXPECT_EQ(AdoDatabase::activeConnection(), m_database.connection());
    EXPECT_NE(m_database.connection(), nullptr);
}

TEST_F(ControllerTest, FirstBackupIsAnnouncedAndWrittenOnTimerTwo)
{
    m_controller.backupDatabaseFile();
    EXPECT_EQ(m_prompter.texts(), QStringList{QStringLiteral("首次备份")});
    EXPECT_TRUE(m_controller.backupTimer().isActive());
    EXPECT_EQ(m_controller.backupTimer().interval(), 300);

    m_controller.continueBackup();
    EXPECT_FALSE(m_controller.backupTimer().isActive());
    EXPECT_EQ(m_prompter.texts(), (QStringList{QStringLiteral("首次备份"), QStringLiteral("数据库备份完成!")}));
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("2024年3月5日14时7分.bak"), QStringLiteral("data.db")}));
    EXPECT_EQ(execute(m_folder.filePath(QStringLiteral("2024年3月5日14时7分.bak")), {}), 1);
    EXPECT_NE(AdoDatabase::activeConnection(), nullptr);
}

TEST_F(ControllerTest, OlderBackupsGoAfterTheNewOneAndOneThatStaysIsReported)
{
    m_folder.writeFile(QStringLiteral("旧.bak"), "old");
    m_folder.writeFile(QStringLiteral("2024年3月5日14时7分.bak"), "same minute, older");
    ASSERT_TRUE(QDir(m_folder.path()).mkpath(QStringLiteral("folder.bak/inside")));
    m_controller.backupDatabaseFile();
    m_controller.continueBackup();
    EXPECT_EQ(m_prompter.texts(), (QStringList{QStringLiteral("DeleteFile BAD"), QStringLiteral("数据库备份完成!")}));
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("2024年3月5日14时7分.bak"), QStringLiteral("data.db"),
                                      QStringLiteral("folder.bak")}));
    EXPECT_EQ(execute(m_folder.filePath(QStringLiteral("2024年3月5日14时7分.bak")), {}), 1);
}

TEST_F(ControllerTest, AFailedReconnectClosesTheForm)
{
    m_controller.backupDatabaseFile();
    QFile::remove(database());
    m_controller.continueBackup();
    ASSERT_GE(m_prompter.texts().size(), 2);
    EXPECT_EQ(m_prompter.texts().back(), QStringLiteral("连接服务器失败，请重新配置！"));
    EXPECT_EQ(m_prompter.captions().back(), QStringLiteral("系统提示"));
    EXPECT_EQ(m_closed, 1);
    EXPECT_EQ(AdoDatabase::activeConnection(), nullptr);
}

// Another program's compaction may replace data.db while a desk has it open
// (one started just before the rename): the desk's connection then still
// reads the old file, and must not write into it.
TEST_F(ControllerTest, AConnectionLeftOnAReplacedRegisterWritesNothingAndSaysWhy)
{
    const QString replacement = m_folder.filePath(QStringLiteral("replacement.db"));
    ASSERT_TRUE(QFile::copy(database(), replacement));
    ASSERT_EQ(::rename(QFile::encodeName(replacement).constData(), QFile::encodeName(database()).constData()), 0);

    AdoRecordset recordset;
    EXPECT_FALSE(recordset.openQuery("INSERT INTO 发文登记表 (发文号) VALUES ('档发〔2024〕2号')"_gbk));
    ASSERT_EQ(m_prompter.texts().size(), 1);
    EXPECT_TRUE(m_prompter.texts()[0].contains(QStringLiteral("已被替换"))) << m_prompter.texts()[0].toStdString();
    EXPECT_EQ(entries(), QStringList{QStringLiteral("data.db")}); // no journal beside the new file
    EXPECT_EQ(execute(database(), {}), 1);
}

// 压缩库 and 备份库 on the PostgreSQL register, while the desk stays connected.
class ServerMaintenanceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_db.isOpen());
        ASSERT_TRUE(test::TestDatabase::run("INSERT INTO 发文登记表 (发文号) VALUES ('档发〔2024〕1号')"_gbk));
    }
    QStringList backups()
    {
        return QDir(m_db.folder().path()).entryList({QStringLiteral("*.bak"), QStringLiteral("*.tmp")}, QDir::Files);
    }

    test::TestDatabase m_db{test::Backend::Postgres};
    FakePrompter m_prompter;
    int m_closed = 0;
    MaintenanceController m_controller{m_db.database(),
                                       m_db.folder().gbkPath(),
                                       m_prompter,
                                       nullptr,
                                       [] { return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 59)); },
                                       [this] { ++m_closed; }};
};

TEST_F(ServerMaintenanceTest, CompactionVacuumsWithoutClosingTheConnection)
{
    const auto connection = AdoDatabase::activeConnection();
    m_controller.compactDatabaseFile();
    EXPECT_EQ(m_prompter.texts(), QStringList{QStringLiteral("数据压缩完成！")});
    EXPECT_EQ(AdoDatabase::activeConnection(), connection);
    EXPECT_EQ(m_closed, 0);
}

TEST_F(ServerMaintenanceTest, BackupIsADumpThatRestoresTheRegisterAndReplacesTheOlderBackups)
{
    m_db.folder().writeFile(QStringLiteral("旧.bak"), "old");
    m_controller.backupDatabaseFile();
    EXPECT_TRUE(m_prompter.texts().isEmpty()); // not the first backup
    m_controller.continueBackup();
    EXPECT_EQ(m_prompter.texts(), QStringList{QStringLiteral("数据库备份完成!")});
    EXPECT_EQ(backups(), QStringList{QStringLiteral("2024年3月5日14时7分.bak")});

    test::PostgresServer& server = test::PostgresServer::instance();
    const QString restored = server.createDatabase();
    QProcess restore;
    restore.start(ServerMaintenance::programPath(QStringLiteral("pg_restore")),
                  server.address(restored).programArguments() +
                      QStringList{m_db.folder().filePath(QStringLiteral("2024年3月5日14时7分.bak"))});
    ASSERT_TRUE(restore.waitForFinished(120000));
    EXPECT_EQ(restore.exitCode(), 0) << restore.readAllStandardError().toStdString();
    {
        ASSERT_TRUE(server.address(restored).open(QStringLiteral("restored")).isEmpty());
        QSqlQuery query(QSqlDatabase::database(QStringLiteral("restored"), false));
        ASSERT_TRUE(query.exec(QStringLiteral("SELECT 发文号 FROM 发文登记表")) && query.next());
        EXPECT_EQ(query.value(0).toString(), QStringLiteral("档发〔2024〕1号"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("restored"));
    server.dropDatabase(restored);
}

TEST_F(ServerMaintenanceTest, WhatCannotBeDoneIsReportedAndKeepsTheOlderBackups)
{
    // A desk user who may write the registers but does not own them.
    ASSERT_TRUE(test::TestDatabase::run("DROP ROLE IF EXISTS 职员"_gbk));
    for (const char* statement : {"CREATE ROLE 职员 LOGIN",
                                  "GRANT SELECT, INSERT, UPDATE, DELETE ON 发文登记表, 收文登记表, 人员信息表, "
                                  "号码占用表 TO 职员",
                                  "GRANT USAGE ON SEQUENCE 号码占用表_会话 TO 职员"})
        ASSERT_TRUE(test::TestDatabase::run(utf8ToGbk(statement)));
    const test::PostgresServer& server = test::PostgresServer::instance();
    const QString database = m_db.database().connection()->databasePath();
    m_db.folder().writeSettings(server.settingsSection(database, "职员"));
    m_db.folder().writeFile(QStringLiteral("旧.bak"), "old");
    m_controller.compactDatabaseFile();
    ASSERT_EQ(m_prompter.texts().size(), 1);
    EXPECT_TRUE(m_prompter.texts()[0].contains(QStringLiteral("只有表的所有者能压缩")))
        << m_prompter.texts()[0].toStdString();

    // A dump that cannot be made leaves no half file and deletes no backup.
    m_prompter.clear();
    m_db.folder().writeSettings("[数据库]\n类型=PostgreSQL\n主机=/nonexistent/socket/folder\n库名=x\n");
    m_controller.continueBackup();
    ASSERT_EQ(m_prompter.texts().size(), 1);
    EXPECT_TRUE(m_prompter.texts()[0].startsWith(QStringLiteral("pg_dump"))) << m_prompter.texts()[0].toStdString();
    EXPECT_EQ(backups(), QStringList{QStringLiteral("旧.bak")});
    EXPECT_EQ(m_closed, 0);
}

} // namespace
