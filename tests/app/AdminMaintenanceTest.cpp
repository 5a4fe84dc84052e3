// Compaction and backup of data.db against other programs at the same moment,
// a full disk and a file-size limit: regdesk-admin run as the program.
#include "TempDeskFolder.h"
#include "TestData.h"
#include "app/AdminCommands.h"
#include "db/DatabaseMaintenance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>

using namespace regdesk;

namespace {

// Runs statements on a database file through a connection of their own and
// returns the first column of the last one's rows.
QStringList query(const QString& path, const QStringList& statements)
{
    QStringList values;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("probe"));
        database.setDatabaseName(path);
        if (database.open()) {
            QSqlQuery run(database);
            for (const QString& statement : statements) {
                values.clear();
                if (!run.exec(statement))
                    values << QStringLiteral("error: ") + run.lastError().text();
                while (run.next())
                    values << run.value(0).toString();
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("probe"));
    return values;
}

// A register of `records` registrations with some text each.
bool fillRegister(const QString& path, int records)
{
    return query(path,
                 {QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                 "INSERT INTO 发文登记表 (发文号, 标题, 主送) SELECT '档发〔2024〕' || i || '号', "
                                 "'关于加强档案管理工作的通知' || i, hex(randomblob(40)) FROM n")
                      .arg(records),
                  QStringLiteral("SELECT count(*) FROM 发文登记表")}) == QStringList{QString::number(records)};
}

QStringList folderEntries(const QString& path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

// Compaction with a personnel import of another process started as its work
// file appears, the import given `settleMs` to commit before the copy is
// renamed into place.
class RacedCompaction final : public DatabaseMaintenance
{
public:
    RacedCompaction(const QString& directory, QProcess& writer, QStringList arguments, int settleMs)
        : DatabaseMaintenance(directory), m_writer(writer), m_arguments(std::move(arguments)), m_settleMs(settleMs)
    {}

protected:
    QString writeCompactedCopy(const QString& source, const QString& target) override
    {
        m_writer.start(QStringLiteral(REGDESK_ADMIN_PROGRAM), m_arguments);
        m_writer.waitForStarted();
        const QString failure = DatabaseMaintenance::writeCompactedCopy(source, target);
        if (m_settleMs > 0)
            m_writer.waitForFinished(m_settleMs);
        return failure;
    }

private:
    QProcess& m_writer;
    QStringList m_arguments;
    int m_settleMs;
};

TEST(AdminMaintenanceRace, EveryImportReportedDoneIsInTheCompactedRegister)
{
    test::TempDeskFolder folder;
    ASSERT_TRUE(folder.createDatabase());
    const QString database = folder.filePath(QStringLiteral("data.db"));
    ASSERT_TRUE(fillRegister(database, 20000));
    folder.writeFile(QStringLiteral("people.xls"), test::testData("people/people-gap.xls"));
    const QStringList importArguments = {QStringLiteral("import-people"), folder.path(),
                                         folder.filePath(QStringLiteral("people.xls"))};
    const QStringList imported = {QStringLiteral("张三"), QStringLiteral("李四")};
    int importsDone = 0;
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_EQ(query(database, {QStringLiteral("DELETE FROM 人员信息表"),
                                   QStringLiteral("INSERT INTO 人员信息表 (姓名, 简称) VALUES ('旧人', 'JR')"),
                                   QStringLiteral("SELECT 姓名 FROM 人员信息表")}),
                  QStringList{QStringLiteral("旧人")});
        QProcess writer;
        // Every other round the import gets time to commit before the rename.
        RacedCompaction compaction(folder.path(), writer, importArguments, round % 2 == 0 ? 1500 : 0);
        const QString failure = compaction.compact();
        ASSERT_TRUE(writer.state() == QProcess::NotRunning || writer.waitForFinished(60000));
        const bool done = writer.exitStatus() == QProcess::NormalExit && writer.exitCode() == 0;
        const QStringList people = query(database, {QStringLiteral("SELECT 姓名 FROM 人员信息表 ORDER BY rowid")});
        if (done) {
            ++importsDone;
            EXPECT_EQ(people, imported) << "the import said done; the compaction said: " << failure.toStdString();
        } else {
            EXPECT_FALSE(writer.readAllStandardError().isEmpty()); // a failure is reported, never silent
            EXPECT_EQ(people, QStringList{QStringLiteral("旧人")});
        }
        EXPECT_EQ(query(database, {QStringLiteral("PRAGMA integrity_check")}), QStringList{QStringLiteral("ok")});
        EXPECT_EQ(folderEntries(folder.path()), (QStringList{QStringLiteral("data.db"), QStringLiteral("people.xls")}));
    }
    EXPECT_GT(importsDone, 0);
}

TEST(AdminMaintenanceRace, TwoBackupsStartedTogetherBothSucceed)
{
    test::TempDeskFolder folder;
    ASSERT_TRUE(folder.createDatabase());
    ASSERT_TRUE(fillRegister(folder.filePath(QStringLiteral("data.db")), 20000));
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        QProcess runs[2];
        for (QProcess& run : runs)
            run.start(QStringLiteral(REGDESK_ADMIN_PROGRAM), {QStringLiteral("backup"), folder.path()});
        for (QProcess& run : runs) {
            ASSERT_TRUE(run.waitForFinished(60000));
            EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
        }
        // The backups of both are one file (named by the same minute) or two.
        const QStringList backups = QDir(folder.path()).entryList({QStringLiteral("*.bak")}, QDir::Files);
        ASSERT_FALSE(backups.isEmpty());
        EXPECT_LE(backups.size(), 2);
        for (const QString& backup : backups)
            EXPECT_EQ(query(folder.filePath(backup), {QStringLiteral("SELECT count(*) FROM 发文登记表")}),
                      QStringList{QStringLiteral("20000")});
        EXPECT_EQ(QDir(folder.path()).entryList({QStringLiteral("*.tmp*")}, QDir::Files), QStringList());
    }
}

TEST(AdminIndex, BuildsTheSearchIndexOfAnOlderRegisterOnce)
{
    test::TempDeskFolder folder;
    ASSERT_TRUE(folder.createDatabase());
    const QString database = folder.filePath(QStringLiteral("data.db"));
    ASSERT_TRUE(fillRegister(database, 3000));
    query(database, {QStringLiteral("DROP TRIGGER 发文登记表_检索_增"), QStringLiteral("DROP TABLE 发文登记表_检索")});
    const std::string desk = folder.path().toStdString();

    const AdminResult built = runAdminCommand({"index", desk});
    ASSERT_EQ(built.exitCode, 0) << built.errors;
    EXPECT_EQ(built.output.rfind("发文登记表: built the search index of 3000 records in ", 0), 0u) << built.output;
    EXPECT_NE(built.output.find("收文登记表: the search index is complete"), std::string::npos) << built.output;
    EXPECT_EQ(query(database, {QStringLiteral("SELECT count(*) FROM 发文登记表_检索_docsize")}),
              QStringList{QStringLiteral("3000")});
    EXPECT_EQ(runAdminCommand({"index", desk}).output,
              "发文登记表: the search index is complete\n收文登记表: the search index is complete\n");
    EXPECT_EQ(runAdminCommand({"index", "/nonexistent/folder"}).exitCode, 2);
}

// A small file system of its own, mounted for the test's life.
class SmallFileSystem
{
public:
    SmallFileSystem(const QString& path, qint64 bytes) : m_path(QFile::encodeName(path))
    {
        const QByteArray options = "size=" + QByteArray::number(bytes);
        if (::mount("tmpfs", m_path.constData(), "tmpfs", 0, options.constData()) == 0)
            m_mounted = true;
        else
            m_failure = std::strerror(errno);
    }
    ~SmallFileSystem()
    {
        if (m_mounted)
            ::umount2(m_path.constData(), MNT_DETACH);
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool isMounted() const { return m_mounted; }
    const std::string& failure() const { return m_failure; }

private:
    QByteArray m_path;
    bool m_mounted = false;
    std::string m_failure;
};

TEST(AdminMaintenanceFull, AFullDiskLeavesNoWorkFileOrJournalAndKeepsTheOlderBackup)
{
    test::TempDeskFolder source;
    ASSERT_TRUE(source.createDatabase());
    ASSERT_TRUE(fillRegister(source.filePath(QStringLiteral("data.db")), 20000));
    const qint64 size = QFileInfo(source.filePath(QStringLiteral("data.db"))).size();
    // data.db fits; a second copy of it does not.
    QTemporaryDir dir;
    // (Filled early, the engine leaves the work file's journal behind.)
    const SmallFileSystem disk(dir.path(), size + size / 5);
    if (!disk.isMounted())
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << disk.failure() << "); needs root";
    ASSERT_TRUE(QFile::copy(source.filePath(QStringLiteral("data.db")), dir.filePath(QStringLiteral("data.db"))));
    QFile older(dir.filePath(QStringLiteral("2020年1月1日0时0分.bak")));
    ASSERT_TRUE(older.open(QIODevice::WriteOnly));
    older.close();
    const QStringList before = folderEntries(dir.path());
    const std::string desk = dir.path().toStdString();

    const AdminResult backup = runAdminCommand({"backup", desk});
    EXPECT_EQ(backup.exitCode, 4);
    EXPECT_NE(backup.errors.find("full"), std::string::npos) << backup.errors;
    EXPECT_EQ(folderEntries(dir.path()), before);

    const AdminResult compact = runAdminCommand({"compact", desk});
    EXPECT_EQ(compact.exitCode, 4);
    EXPECT_NE(compact.errors.find("full"), std::string::npos) << compact.errors;
    EXPECT_EQ(folderEntries(dir.path()), before);
    EXPECT_EQ(query(dir.filePath(QStringLiteral("data.db")), {QStringLiteral("SELECT count(*) FROM 发文登记表")}),
              QStringList{QStringLiteral("20000")});
}

TEST(AdminMaintenanceFull, AFileSizeLimitIsReportedNotASilentEnd)
{
    test::TempDeskFolder folder;
    ASSERT_TRUE(folder.createDatabase());
    ASSERT_TRUE(fillRegister(folder.filePath(QStringLiteral("data.db")), 5000));
    const QStringList before = folderEntries(folder.path());
    for (const char* command : {"backup", "compact"}) {
        SCOPED_TRACE(command);
        QProcess run;
        // A limit under the size of the copy, in the child only.
        run.setChildProcessModifier([] {
            const rlimit limit{256 * 1024, 256 * 1024};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
        run.start(QStringLiteral(REGDESK_ADMIN_PROGRAM), {QString::fromLatin1(command), folder.path()});
        ASSERT_TRUE(run.waitForFinished(60000));
        EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run.exitCode(), 4);
        const QByteArray errors = run.readAllStandardError();
        EXPECT_TRUE(errors.startsWith("regdesk-admin: ")) << errors.toStdString();
        // Nothing left behind but the diagnostics log, which names the failure.
        QStringList after = folderEntries(folder.path());
        EXPECT_TRUE(after.removeOne(QStringLiteral("regdesk.log")));
        EXPECT_EQ(after, before);
        QFile log(folder.filePath(QStringLiteral("regdesk.log")));
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        EXPECT_TRUE(
            log.readAll().contains(QByteArray("] error: regdesk-admin ") + command + " failed: regdesk-admin: "));
    }
}

} // namespace
