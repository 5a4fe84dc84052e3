// Several desk processes on one register, data.db and PostgreSQL: registering
// at once, and one killed in the middle of a save.
#include "FakePrompter.h"
#include "PostgresServer.h"
#include "TempDeskFolder.h"
#include "TestBackend.h"
#include "db/AdoDatabase.h"
#include "desk/DocumentNumbering.h"
#include "desk/SqlOutgoingRegister.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUrl>
#include <gtest/gtest.h>
#include <set>

namespace regdesk::test {
namespace {

// A bound on waiting for the other processes, far above what they need.
constexpr int kWaitMs = 5 * 60 * 1000;

class DeskProcesses : public ::testing::TestWithParam<Backend>
{
protected:
    void SetUp() override
    {
        std::string settings = "[发文型式]\n型式1=法\n\n[发文种类]\n种类1=通知\n\n[发文设置]\n制码号固定标识=FY\n"
                               "制码号固定位数=2\n制码号年度位数=2\n制码号流水位数=4\n";
        m_folder.writeSettings(settings);
        if (GetParam() == Backend::Postgres) {
            m_server = PostgresServer::instance().createRegister();
            ASSERT_FALSE(m_server.isEmpty()) << PostgresServer::instance().failure().toStdString();
            m_folder.setDatabaseSection(PostgresServer::instance().settingsSection(m_server));
            m_folder.writeSettings(settings);
        } else {
            ASSERT_TRUE(m_folder.createDatabase());
        }
        ASSERT_TRUE(openInspector(QStringLiteral("inspector")).isEmpty());
    }
    void TearDown() override
    {
        QSqlDatabase::removeDatabase(QStringLiteral("watcher"));
        QSqlDatabase::removeDatabase(QStringLiteral("inspector"));
        if (!m_server.isEmpty())
            PostgresServer::instance().dropDatabase(m_server);
    }

    // A plain connection of the test's own to the register; on data.db
    // waiting `busyMs` for another's lock.
    QString openInspector(const QString& name, int busyMs = 5000) const
    {
        if (GetParam() == Backend::Postgres)
            return PostgresServer::instance().address(m_server).open(name);
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        database.setDatabaseName(m_folder.filePath(QStringLiteral("data.db")));
        database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyMs));
        return database.open() ? QString() : database.lastError().text();
    }
    QSqlDatabase inspector() const { return QSqlDatabase::database(QStringLiteral("inspector"), false); }
    QString value(const QString& sql) const
    {
        QSqlQuery query(inspector());
        return query.exec(sql) && query.next() ? query.value(0).toString() : QStringLiteral("?");
    }

    void startWorker(QProcess& worker, const QString& name, const QString& count) const
    {
        worker.start(QStringLiteral(REGDESK_DESK_WORKER), {m_folder.path(), name, count});
        ASSERT_TRUE(worker.waitForStarted());
    }
    // The "saved" lines of a finished worker: 发文号, 制码号, 标题.
    static std::vector<QStringList> savedBy(QProcess& worker)
    {
        EXPECT_TRUE(worker.waitForFinished(kWaitMs));
        EXPECT_EQ(worker.exitCode(), 0) << worker.readAllStandardError().toStdString();
        std::vector<QStringList> saved;
        for (const QString& line : QString::fromUtf8(worker.readAllStandardOutput()).split(u'\n')) {
            const QStringList fields = line.split(u'\t');
            if (fields.size() == 4 && fields[0] == QStringLiteral("saved"))
                saved.push_back(fields.mid(1));
        }
        return saved;
    }
    // (发文号, 制码号, 标题) of every registration.
    std::vector<QStringList> registrations() const
    {
        std::vector<QStringList> rows;
        QSqlQuery query(inspector());
        if (query.exec(QStringLiteral("SELECT 发文号, 制码号, 标题 FROM 发文登记表")))
            while (query.next())
                rows.push_back({query.value(0).toString(), query.value(1).toString(), query.value(2).toString()});
        return rows;
    }

    TempDeskFolder m_folder;
    QString m_server;
};

INSTANTIATE_TEST_SUITE_P(Databases, DeskProcesses, ::testing::Values(Backend::Sqlite, Backend::Postgres),
                         BackendName());

TEST_P(DeskProcesses, TwoDesksRegisteringAtOnceLoseAndDoubleNothing)
{
    QProcess first;
    QProcess second;
    startWorker(first, QStringLiteral("甲台"), QStringLiteral("500"));
    startWorker(second, QStringLiteral("乙台"), QStringLiteral("500"));
    std::vector<QStringList> saved = savedBy(first);
    const std::vector<QStringList> other = savedBy(second);
    EXPECT_EQ(saved.size(), 500u);
    EXPECT_EQ(other.size(), 500u);
    saved.insert(saved.end(), other.begin(), other.end());

    const std::vector<QStringList> rows = registrations();
    EXPECT_EQ(rows.size(), 1000u);
    std::set<QString> numbers;
    std::set<QString> codes;
    for (const QStringList& row : rows) {
        numbers.insert(row[0]);
        codes.insert(row[1]);
    }
    EXPECT_EQ(numbers.size(), 1000u) << "a 发文号 was given twice";
    EXPECT_EQ(codes.size(), 1000u) << "a 制码号 was given twice";
    // Every registration a desk saved is there as it saved it: none was replaced.
    const std::set<QStringList> stored(rows.begin(), rows.end());
    for (const QStringList& registration : saved)
        EXPECT_EQ(stored.count(registration), 1u) << registration.join(u' ').toStdString();
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM 号码占用表 WHERE 会话 IS NOT NULL")), QStringLiteral("0"));
}

TEST_P(DeskProcesses, ADeskKilledInTheMiddleOfASaveLosesNoRowAndHoldsNoNumber)
{
    QProcess before;
    startWorker(before, QStringLiteral("甲台"), QStringLiteral("3"));
    ASSERT_EQ(savedBy(before).size(), 3u);
    const std::vector<QStringList> saved = registrations();

    QProcess killed;
    startWorker(killed, QStringLiteral("乙台"), QStringLiteral("pause"));
    ASSERT_TRUE(killed.waitForReadyRead(kWaitMs));
    const QStringList proposed = QString::fromUtf8(killed.readLine()).trimmed().split(u'\t');
    ASSERT_EQ(proposed.value(1), QStringLiteral("法〔2026〕4号"));

    // Held back in the middle of its save: by a reader that keeps data.db
    // from being written, or by a lock on the register the insert must wait for.
    QSqlQuery hold(inspector());
    ASSERT_TRUE(hold.exec(QStringLiteral("BEGIN")));
    ASSERT_TRUE(hold.exec(GetParam() == Backend::Postgres ? QStringLiteral("LOCK TABLE 发文登记表 IN SHARE MODE")
                                                          : QStringLiteral("SELECT count(*) FROM 发文登记表")));
    killed.write("save\n");
    ASSERT_TRUE(killed.waitForBytesWritten(kWaitMs));
    const QString watcher = QStringLiteral("watcher");
    ASSERT_TRUE(openInspector(watcher, 0).isEmpty());
    bool inSave = false;
    for (QDeadlineTimer deadline(kWaitMs); !inSave && !deadline.hasExpired(); QThread::msleep(20)) {
        QSqlQuery probe(QSqlDatabase::database(watcher, false));
        if (GetParam() == Backend::Postgres) {
            inSave = probe.exec(QStringLiteral("SELECT count(*) FROM pg_locks WHERE NOT granted AND relation = "
                                               "'发文登记表'::regclass")) &&
                     probe.next() && probe.value(0).toInt() > 0;
        } else {
            // The desk's write transaction is open when no other can begin.
            inSave = !probe.exec(QStringLiteral("BEGIN IMMEDIATE"));
            if (!inSave)
                probe.exec(QStringLiteral("ROLLBACK"));
        }
    }
    ASSERT_TRUE(inSave);
    killed.kill(); // SIGKILL
    ASSERT_TRUE(killed.waitForFinished(kWaitMs));
    ASSERT_TRUE(hold.exec(QStringLiteral("ROLLBACK")));
    QSqlDatabase::removeDatabase(watcher);
    if (GetParam() == Backend::Postgres) {
        // Its server session ends once the server notices.
        for (QDeadlineTimer deadline(kWaitMs);
             value(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() AND "
                                  "pid <> pg_backend_pid()")) != QStringLiteral("0") &&
             !deadline.hasExpired();)
            QThread::msleep(20);
    }

    EXPECT_EQ(registrations(), saved) << "the rows saved before are all there, and nothing of the killed save";
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM 号码占用表 WHERE 会话 IS NOT NULL")), QStringLiteral("2"));
    // The next desk to choose the prefix gets the killed desk's numbers.
    FakePrompter prompter;
    AdoDatabase desk(prompter);
    ASSERT_TRUE(desk.openConnection(AdoDatabase::connectionStringFor(m_folder.gbkPath())));
    AdoDatabase::setActiveConnection(desk.connection());
    {
        SqlOutgoingRegister register_;
        const NumberingProposal proposal = DocumentNumbering::propose("法〔2026〕"_gbk, {"法〔2026〕"_gbk}, 2026,
                                                                      CodeNumberLayout{"FY", 2, "2", "4"}, register_);
        EXPECT_EQ(gbkToUtf8(*DocumentNumbering::nextNumber(proposal.lastNumber)), proposed.value(1).toStdString());
        EXPECT_EQ(gbkToUtf8(proposal.codeNumber), proposed.value(2).toStdString());
        EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM 号码占用表 WHERE 会话 IS NOT NULL")), QStringLiteral("2"));
    }
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM 号码占用表 WHERE 会话 IS NOT NULL")), QStringLiteral("0"));
    AdoDatabase::setActiveConnection(nullptr);
    EXPECT_TRUE(prompter.shown().empty());
}

} // namespace
} // namespace regdesk::test
