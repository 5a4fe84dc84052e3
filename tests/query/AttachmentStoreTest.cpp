#include "query/AttachmentStore.h"

#include "TestDatabase.h"
#include "db/PostgresRegisterSearch.h"
#include "db/PrivateConnection.h"
#include "db/RegisterRecords.h"
#include "db/RegisterStatements.h"
#include "platform/FileSystem.h"
#include "platform/GbkQt.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

using namespace regdesk;

namespace {

const GbkString kTable = RegisterStatements::incomingTable();
constexpr qint64 kMebibyte = 1024 * 1024;

// The bytes of a generated file, block by block: no two blocks alike, every byte value present.
QByteArray generatedBlock(qint64 index, qint64 size)
{
    QByteArray block(size, Qt::Uninitialized);
    std::uint64_t x = static_cast<std::uint64_t>(index) * 0x9E3779B97F4A7C15ull + 1;
    for (qint64 i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        block[i] = static_cast<char>(x);
    }
    return block;
}

// Writes a generated file of `size` bytes (never whole in memory) and returns its path.
GbkString generatedFile(test::TempDeskFolder& folder, const QString& name, qint64 size)
{
    QFile file(folder.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    for (qint64 done = 0, index = 0; done < size; done += kMebibyte, ++index)
        file.write(generatedBlock(index, std::min(kMebibyte, size - done)));
    return fromQString(folder.filePath(name));
}

bool isGenerated(const QByteArray& bytes, qint64 size)
{
    if (bytes.size() != size)
        return false;
    for (qint64 done = 0, index = 0; done < size; done += kMebibyte, ++index) {
        const qint64 length = std::min(kMebibyte, size - done);
        if (bytes.mid(done, length) != generatedBlock(index, length))
            return false;
    }
    return true;
}

qint64 statusKilobytes(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0)
            return std::stoll(line.substr(std::string(key).size()));
    }
    return -1;
}

// The peak resident memory that `work` adds to this process, in bytes.
qint64 peakGrowth(const std::function<void()>& work)
{
    const qint64 before = statusKilobytes("VmRSS:");
    std::ofstream("/proc/self/clear_refs") << "5"; // the peak starts again from here
    EXPECT_LE(statusKilobytes("VmHWM:") - before, 16 * 1024) << "the peak could not be reset";
    work();
    return (statusKilobytes("VmHWM:") - before) * 1024;
}

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

TEST_P(AttachmentStoreTest, ALargeFileTakesLittleMoreMemoryThanItsSize)
{
    constexpr qint64 size = 200 * kMebibyte;
    const GbkString path = generatedFile(m_db.folder(), QStringLiteral("large.doc"), size);
    QString failure = QStringLiteral("not run");
    const qint64 storing = peakGrowth([&] { failure = m_store.attach(kTable, "收〔2026〕1号"_gbk, path); });
    ASSERT_EQ(failure, QString());
    EXPECT_LT(storing, 4 * size) << storing / kMebibyte << " MiB";
    StoredAttachment attachment;
    const qint64 reading = peakGrowth([&] { failure = m_store.read(kTable, 1, attachment); });
    ASSERT_EQ(failure, QString());
    EXPECT_LT(reading, 4 * size) << reading / kMebibyte << " MiB";
    EXPECT_TRUE(isGenerated(attachment.bytes, size));
}

TEST_P(AttachmentStoreTest, TheLargestAllowedFileStoresAndReadsBackAndOneByteMoreIsRefusedByName)
{
    const GbkString path = generatedFile(m_db.folder(), QStringLiteral("largest.doc"), AttachmentStore::kMaxFileBytes);
    ASSERT_EQ(m_store.attach(kTable, "收〔2026〕1号"_gbk, path), QString());
    EXPECT_TRUE(isGenerated(stored().bytes, AttachmentStore::kMaxFileBytes));

    const qint64 second = m_db.insert(kTable, {{"发文号", "收〔2026〕2号"_gbk}});
    ASSERT_GE(second, 0);
    {
        QFile file(toQString(path));
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("x", 1);
    }
    const QString refusal = m_store.attach(kTable, "收〔2026〕2号"_gbk, path);
    EXPECT_TRUE(refusal.contains(QStringLiteral("大于%1MB").arg(AttachmentStore::kMaxFileBytes / kMebibyte)))
        << refusal.toStdString();
    EXPECT_EQ(stored(second).type, "");
}

// A server whose sessions start with standard_conforming_strings = off reads
// a backslash in a quoted text as an escape: every connection of the desk
// must turn it on, the attachments' own among them.
class NonStandardServer : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_db.isOpen()); }

    // Attaches as the query window does: on a second connection, cloned from the desk's.
    QString attachOnSecondConnection(const GbkString& number, const GbkString& path)
    {
        const PrivateConnection connection(m_db.connection()->name());
        if (!connection.isOpen())
            return connection.error();
        return AttachmentStore(connection.database()).attach(kTable, number, path);
    }

    test::TestDatabase m_db{test::Backend::Postgres, QStringLiteral("standard_conforming_strings = off")};
};

TEST_F(NonStandardServer, AScannedNumberWithAQuoteAndABackslashStaysText)
{
    const GbkString hostile = "X\\' OR TRUE; DELETE FROM 收文登记表; --"_gbk;
    ASSERT_GE(m_db.insert(kTable, {{"发文号", hostile}}), 0);
    ASSERT_GE(m_db.insert(kTable, {{"发文号", "收〔2026〕1号"_gbk}}), 0);
    m_db.folder().writeFile(QStringLiteral("scan.doc"), "abc");
    EXPECT_EQ(attachOnSecondConnection(hostile, fromQString(m_db.folder().filePath(QStringLiteral("scan.doc")))),
              QString());
    EXPECT_EQ(m_db.value(QStringLiteral("SELECT count(*) FROM 收文登记表")), QStringLiteral("2"));
    EXPECT_EQ(m_db.value(QStringLiteral("SELECT string_agg(发文号, '|') FROM 收文登记表 WHERE 文件类型 = 'doc'")),
              toQString(hostile));
    EXPECT_EQ(m_db.value(QStringLiteral("SELECT encode(文件数据, 'escape') FROM 收文登记表 WHERE 文件类型 = 'doc'")),
              QStringLiteral("abc"));
}

TEST_F(NonStandardServer, ARecordStaysFoundByTheFuzzySearchAfterAnAttachmentIsStored)
{
    ASSERT_GE(m_db.insert(kTable, {{"发文号", "收〔2026〕1号"_gbk}, {"标题", "关于表彰的决定"_gbk}}), 0);
    m_db.folder().writeFile(QStringLiteral("a.doc"), "abc");
    ASSERT_EQ(
        attachOnSecondConnection("收〔2026〕1号"_gbk, fromQString(m_db.folder().filePath(QStringLiteral("a.doc")))),
        QString());
    // Through the index, as on a large register.
    ASSERT_TRUE(m_db.execute(QStringLiteral("SET enable_seqscan = off")));
    PostgresRegisterSearch search(m_db.connection());
    const SearchResult found = search.fuzzy(kTable, {"表彰"_gbk}, {});
    EXPECT_EQ(found.error, QString());
    EXPECT_EQ(found.rows.size(), 1u);
}

} // namespace
