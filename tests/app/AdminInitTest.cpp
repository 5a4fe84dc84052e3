// regdesk-admin init against links and a second run at the same moment.
#include "app/AdminCommands.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace regdesk;

namespace {

int tableCount(const QString& path)
{
    int count = -1;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("count"));
        database.setDatabaseName(path);
        QSqlQuery query(database);
        if (database.open() && query.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type='table'")) &&
            query.next())
            count = query.value(0).toInt();
        query.finish();
        database.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("count"));
    return count;
}

TEST(AdminInit, DanglingLinkIsNotFollowed)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("elsewhere.db"));
    ASSERT_TRUE(QFile::link(target, dir.filePath(QStringLiteral("data.db"))));
    const AdminResult result = runAdminCommand({"init", dir.path().toStdString()});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.errors.find("already exists"), std::string::npos) << result.errors;
    EXPECT_FALSE(QFile::exists(target));
}

TEST(AdminInit, OfTwoRunsAtOnceOneCreatesAndTheOtherLeavesItAlone)
{
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        QTemporaryDir dir;
        QProcess first;
        QProcess second;
        for (QProcess* run : {&first, &second})
            run->start(QStringLiteral(REGDESK_ADMIN_PROGRAM), {QStringLiteral("init"), dir.path()});
        for (QProcess* run : {&first, &second})
            ASSERT_TRUE(run->waitForFinished(60000));
        const int created = (first.exitCode() == 0) + (second.exitCode() == 0);
        EXPECT_EQ(created, 1) << first.readAllStandardError().toStdString()
                              << second.readAllStandardError().toStdString();
        EXPECT_EQ(tableCount(dir.filePath(QStringLiteral("data.db"))), 3);
    }
}

} // namespace
