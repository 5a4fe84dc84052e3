// regdesk-admin init against a planted link and a second run at the same moment.
#include "app/AdminCommands.h"

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace regdesk;

namespace {

TEST(AdminInit, DanglingLinkIsNotFollowed)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("elsewhere.db")), dir.filePath(QStringLiteral("data.db"))));
    const AdminResult result = runAdminCommand({"init", dir.path().toStdString()});
    EXPECT_NE(result.errors.find("already exists"), std::string::npos) << result.errors;
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("elsewhere.db"))));
}

TEST(AdminInit, OfTwoRunsAtOnceOneCreatesAndTheOtherLeavesItAlone)
{
    for (int round = 0; round < 20; ++round) {
        QTemporaryDir dir;
        QProcess runs[2];
        for (QProcess& run : runs)
            run.start(QStringLiteral(REGDESK_ADMIN_PROGRAM), {QStringLiteral("init"), dir.path()});
        for (QProcess& run : runs)
            ASSERT_TRUE(run.waitForFinished(60000));
        EXPECT_EQ((runs[0].exitCode() == 0) + (runs[1].exitCode() == 0), 1) << "round " << round;
        {
            QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("count"));
            database.setDatabaseName(dir.filePath(QStringLiteral("data.db")));
            const bool opened = database.open();
            QSqlQuery query(database);
            EXPECT_TRUE(opened && query.exec(QStringLiteral("SELECT COUNT(*) FROM 人员信息表")))
                << "round " << round << ": the register is gone";
        }
        QSqlDatabase::removeDatabase(QStringLiteral("count"));
    }
}

} // namespace
