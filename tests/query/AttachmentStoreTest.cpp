#include "query/AttachmentStore.h"

#include "QueryDatabase.h"
#include "db/RegisterStatements.h"
#include "platform/FileSystem.h"
#include "platform/GbkQt.h"

#include <QSqlDatabase>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace regdesk;

namespace {

const GbkString kTable = RegisterStatements::incomingTable();

class AttachmentStoreTest : public ::testing::Test
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

    StoredAttachment stored(const GbkString& number = "收〔2026〕1号"_gbk)
    {
        StoredAttachment attachment;
        EXPECT_TRUE(m_store.read(kTable, number, attachment).isEmpty());
        return attachment;
    }

    test::QueryDatabase m_db;
    AttachmentStore m_store{QSqlDatabase::database(m_db.connection()->name(), false)};
};

TEST_F(AttachmentStoreTest, AnEmptyFileIsAnAttachment)
{
    ASSERT_EQ(m_store.attach(kTable, "收〔2026〕1号"_gbk, fileWith(QStringLiteral("empty.doc"), "")), QString());
    EXPECT_EQ(stored().type, "doc");
    EXPECT_EQ(m_db.value(QStringLiteral("SELECT typeof(文件数据) FROM 收文登记表")), QStringLiteral("blob"));
}

TEST_F(AttachmentStoreTest, AFileThatCannotBeReadLeavesTheRecordAsItWas)
{
    const GbkString fifo = fromQString(m_db.folder().filePath(QStringLiteral("pipe.doc")));
    ASSERT_EQ(::mkfifo(toNativePath(fifo).c_str(), 0600), 0);
    for (const GbkString& path : {fifo, fromQString(m_db.folder().filePath(QStringLiteral("missing.doc"))),
                                  fromQString(m_db.folder().path())}) {
        EXPECT_FALSE(m_store.attach(kTable, "收〔2026〕1号"_gbk, path).isEmpty()) << path;
        EXPECT_EQ(stored().type, "") << path;
    }
    EXPECT_EQ(m_db.value(QStringLiteral("SELECT typeof(文件数据) FROM 收文登记表")), QStringLiteral("null"));
}

TEST_F(AttachmentStoreTest, EveryRecordOfTheNumberGetsTypeAndBytes)
{
    ASSERT_GE(m_db.insert(kTable, {{"发文号", "收〔2026〕1号"_gbk}}), 0);
    ASSERT_EQ(m_store.attach(kTable, "收〔2026〕1号"_gbk, fileWith(QStringLiteral("a.wps"), "abc")), QString());
    EXPECT_EQ(m_db.value(QStringLiteral("SELECT count(*) FROM 收文登记表 WHERE 文件类型='wps' AND 文件数据=x'616263'")),
              QStringLiteral("2"));
}

TEST_F(AttachmentStoreTest, ANumberWithoutRecordIsAFailure)
{
    EXPECT_FALSE(m_store.attach(kTable, "收〔2026〕2号"_gbk, fileWith(QStringLiteral("b.doc"), "x")).isEmpty());
    EXPECT_EQ(m_db.value(QStringLiteral("SELECT count(*) FROM 收文登记表 WHERE 文件类型 <> ''")), QStringLiteral("0"));
    EXPECT_EQ(stored("收〔2026〕2号"_gbk).type, "");
}

} // namespace
