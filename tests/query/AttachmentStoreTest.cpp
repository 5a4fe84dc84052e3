#include "query/AttachmentStore.h"

#include "TestDatabase.h"
#include "db/RegisterRecords.h"
#include "db/RegisterStatements.h"
#include "platform/FileSystem.h"
#include "platform/GbkQt.h"

#include <QSqlDatabase>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace regdesk;

namespace {

const GbkString kTable = RegisterStatements::incomingTable();

// Attachments on data.db and on PostgreSQL alike.
class AttachmentStoreTest : public ::testing::TestWithParam<test::Backend>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_db.isOpen());
        ASSERT_GE(m_db.insert(kTable, {{"发文号", "收〔2026〕1号"_gbk}}), 0);
    }

    GbkString fileWith(const QString& name, const std::string& bytes)
    {
        m_db.folder().writeFile(name, bytes);
        return fromQString(m_db.folder().filePath(name));
    }

    StoredAttachment stored(qint64 record = 1)
    {
        StoredAttachment attachment;
        EXPECT_TRUE(m_store.read(kTable, record, attachment).isEmpty());
        return attachment;
    }

    // "null" or "blob": what 文件数据 of the (first) record holds.
    QString fileData()
    {
        return m_db.value(
            QStringLiteral("SELECT CASE WHEN 文件数据 IS NULL THEN 'null' ELSE 'blob' END FROM 收文登记表"));
    }

    test::TestDatabase m_db{GetParam()};
    AttachmentStore m_store{QSqlDatabase::database(m_db.connection()->name(), false)};
};

INSTANTIATE_TEST_SUITE_P(Databases, AttachmentStoreTest,
                         ::testing::Values(test::Backend::Sqlite, test::Backend::Postgres), test::BackendName());

TEST_P(AttachmentStoreTest, AnEmptyFileIsAnAttachment)
{
    ASSERT_EQ(m_store.attach(kTable, "收〔2026〕1号"_gbk, fileWith(QStringLiteral("empty.doc"), "")), QString());
    EXPECT_EQ(stored().type, "doc");
    EXPECT_EQ(fileData(), QStringLiteral("blob"));
}

TEST_P(AttachmentStoreTest, AFileThatCannotBeReadLeavesTheRecordAsItWas)
{
    const GbkString fifo = fromQString(m_db.folder().filePath(QStringLiteral("pipe.doc")));
    ASSERT_EQ(::mkfifo(toNativePath(fifo).c_str(), 0600), 0);
    for (const GbkString& path : {fifo, fromQString(m_db.folder().filePath(QStringLiteral("missing.doc"))),
                                  fromQString(m_db.folder().path())}) {
        EXPECT_FALSE(m_store.attach(kTable, "收〔2026〕1号"_gbk, path).isEmpty()) << path;
        EXPECT_EQ(stored().type, "") << path;
    }
    EXPECT_EQ(fileData(), QStringLiteral("null"));
}

TEST_P(AttachmentStoreTest, EveryRecordOfTheNumberGetsTypeAndBytes)
{
    ASSERT_GE(m_db.insert(kTable, {{"发文号", "收〔2026〕1号"_gbk}}), 0);
    ASSERT_EQ(m_store.attach(kTable, "收〔2026〕1号"_gbk, fileWith(QStringLiteral("a.wps"), "abc")), QString());
    EXPECT_EQ(m_db.value(QStringLiteral("SELECT count(*) FROM 收文登记表 WHERE 文件类型='wps' AND length(文件数据)=3")),
              QStringLiteral("2"));
    EXPECT_EQ(stored().bytes, QByteArray("abc"));
}

TEST_P(AttachmentStoreTest, ANumberWithoutRecordIsAFailure)
{
    EXPECT_FALSE(m_store.attach(kTable, "收〔2026〕2号"_gbk, fileWith(QStringLiteral("b.doc"), "x")).isEmpty());
    EXPECT_EQ(m_db.value(QStringLiteral("SELECT count(*) FROM 收文登记表 WHERE 文件类型 <> ''")), QStringLiteral("0"));
    EXPECT_EQ(stored(2).type, "");
}

// Two records whose numbers differ by a trailing blank look alike in the
// list, which shows numbers trimmed; what is done to one leaves the other.
TEST_P(AttachmentStoreTest, ARecordAndItsLookAlikeAreKeptApart)
{
    const qint64 plain = m_db.insert(kTable, {{"发文号", "某中法〔2024〕7号"_gbk}});
    const qint64 padded = m_db.insert(kTable, {{"发文号", "某中法〔2024〕7号 "_gbk}});
    ASSERT_GE(plain, 0);
    ASSERT_GE(padded, 0);
    const RegisterRecords records(QSqlDatabase::database(m_db.connection()->name(), false));
    std::vector<qint64> found;
    ASSERT_EQ(records.withNamesakes(kTable, {padded}, found), QString());
    EXPECT_EQ(found, std::vector<qint64>{padded});

    std::vector<qint64> attached;
    ASSERT_EQ(m_store.attachToRecord(kTable, padded, fileWith(QStringLiteral("a.doc"), "padded"), attached), QString());
    EXPECT_EQ(attached, std::vector<qint64>{padded});
    EXPECT_EQ(stored(plain).type, "");
    EXPECT_EQ(stored(padded).bytes, QByteArray("padded"));

    ASSERT_EQ(m_store.attachToRecord(kTable, plain, fileWith(QStringLiteral("b.wps"), "plain"), attached), QString());
    ASSERT_EQ(records.clearAttachments(kTable, {padded}), QString());
    EXPECT_EQ(stored(padded).type, "");
    EXPECT_EQ(stored(plain).bytes, QByteArray("plain"));

    ASSERT_EQ(records.remove(kTable, {padded}), QString());
    EXPECT_EQ(m_db.value(QStringLiteral("SELECT count(*) FROM 收文登记表 WHERE 发文号 = '某中法〔2024〕7号'")),
              QStringLiteral("1"));
    EXPECT_EQ(m_db.value(QStringLiteral("SELECT count(*) FROM 收文登记表")), QStringLiteral("2"));
    // A record that has gone takes no attachment.
    EXPECT_FALSE(m_store.attachToRecord(kTable, padded, fileWith(QStringLiteral("c.doc"), "x"), attached).isEmpty());
}

// Namesakes are records whose stored numbers are equal as the register
// compares them, ASCII case ignored; a record without a number has none.
TEST_P(AttachmentStoreTest, NamesakesAreEqualStoredNumbers)
{
    const qint64 upper = m_db.insert(kTable, {{"发文号", "收〔2026〕1号"_gbk}});
    const qint64 lower = m_db.insert(kTable, {{"发文号", "x〔2026〕2号"_gbk}});
    const qint64 other = m_db.insert(kTable, {{"发文号", "X〔2026〕2号"_gbk}});
    const qint64 numberless = m_db.insert(kTable, {{"标题", "甲"_gbk}});
    m_db.insert(kTable, {{"标题", "乙"_gbk}});
    const RegisterRecords records(QSqlDatabase::database(m_db.connection()->name(), false));
    std::vector<qint64> found;
    ASSERT_EQ(records.withNamesakes(kTable, {upper, lower, numberless}, found), QString());
    EXPECT_EQ(found, (std::vector<qint64>{1, upper, lower, other, numberless}));

    std::vector<qint64> attached;
    ASSERT_EQ(m_store.attachToRecord(kTable, other, fileWith(QStringLiteral("d.doc"), "d"), attached), QString());
    EXPECT_EQ(attached, (std::vector<qint64>{lower, other}));
}

} // namespace
