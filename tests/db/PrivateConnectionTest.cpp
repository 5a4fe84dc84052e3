// The one opener of data.db and the connection guard the desk, maintenance
// and regdesk-admin share.
#include "db/PrivateConnection.h"

#include "db/RegisterDatabaseFile.h"

#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace regdesk;

namespace {

class RegisterFileOpen : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        // Characters a URI would otherwise read as its own.
        m_path = m_folder.filePath(QStringLiteral("办公室 #1?%20;'.db"));
        ASSERT_EQ(createRegisterDatabase(m_path), QString());
    }

    QTemporaryDir m_folder;
    QString m_path;
};

TEST_F(RegisterFileOpen, ReadsAndWritesAFileWhateverItsName)
{
    const PrivateConnection connection(m_path, RegisterFileMode::ReadWrite);
    ASSERT_TRUE(connection.isOpen()) << connection.error().toStdString();
    QSqlQuery query(connection.database());
    EXPECT_TRUE(query.exec(QStringLiteral("INSERT INTO 人员信息表 (姓名) VALUES ('张三')")));
}

TEST_F(RegisterFileOpen, ReadOnlyRefusesWrites)
{
    const PrivateConnection connection(m_path, RegisterFileMode::ReadOnly);
    ASSERT_TRUE(connection.isOpen()) << connection.error().toStdString();
    QSqlQuery query(connection.database());
    EXPECT_TRUE(query.exec(QStringLiteral("SELECT count(*) FROM 发文登记表")));
    EXPECT_FALSE(query.exec(QStringLiteral("INSERT INTO 人员信息表 (姓名) VALUES ('张三')")));
}

TEST_F(RegisterFileOpen, AMissingFileFailsAndIsNotCreated)
{
    const QString missing = m_folder.filePath(QStringLiteral("data.db"));
    for (const RegisterFileMode mode : {RegisterFileMode::ReadOnly, RegisterFileMode::ReadWrite}) {
        const PrivateConnection connection(missing, mode);
        EXPECT_FALSE(connection.isOpen());
        EXPECT_FALSE(connection.error().isEmpty());
        EXPECT_FALSE(QFile::exists(missing));
    }
}

TEST_F(RegisterFileOpen, WaitsOutAWriteAnotherConnectionHolds)
{
    const PrivateConnection holder(m_path, RegisterFileMode::ReadWrite);
    const PrivateConnection waiter(m_path, RegisterFileMode::ReadWrite);
    ASSERT_TRUE(holder.isOpen() && waiter.isOpen());
    QSqlQuery query(waiter.database());
    ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA busy_timeout")) && query.next());
    EXPECT_GT(query.value(0).toInt(), 0);
}

TEST_F(RegisterFileOpen, EachGuardRemovesItsOwnConnection)
{
    const QStringList before = QSqlDatabase::connectionNames();
    {
        const PrivateConnection first(m_path, RegisterFileMode::ReadOnly);
        ASSERT_TRUE(first.isOpen());
        QString firstName;
        for (const QString& name : QSqlDatabase::connectionNames())
            firstName = before.contains(name) ? firstName : name;
        const PrivateConnection copy(firstName);
        EXPECT_TRUE(copy.isOpen()) << copy.error().toStdString();
        EXPECT_EQ(QSqlDatabase::connectionNames().size(), before.size() + 2);
    }
    EXPECT_EQ(QSqlDatabase::connectionNames().size(), before.size());
}

} // namespace
