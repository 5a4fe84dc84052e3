// The count of barcodes that numbering reads: the counter gives exactly what
// the counting statement gives, for every text, after every kind of change,
// on data.db and PostgreSQL; a register without the counter counts alike.
#include "db/BarcodeCount.h"

#include "TestDatabase.h"
#include "db/AdoRecordset.h"
#include "db/RegisterStatements.h"
#include "platform/GbkQt.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace regdesk::test {
namespace {

const GbkString kTable = RegisterStatements::outgoingTable();

// The years asked, in and out of the counter's reach (all years last).
const std::optional<int> kYears[] = {2026, 2020, 2025, 2602, 6010, 1000, 9999, 202, 12026, 0, std::nullopt};

class BarcodeCountTest : public ::testing::TestWithParam<Backend>
{
protected:
    void SetUp() override { ASSERT_TRUE(m_db.isOpen()); }
    QSqlDatabase database() const { return QSqlDatabase::database(m_db.connection()->name(), false); }

    // The statement's own answer, as numbering asked it before the counter.
    static qint64 byStatement(std::optional<int> year)
    {
        AdoRecordset count;
        const GbkString sql =
            year ? RegisterStatements::selectCodeTimesOfYear(*year) : RegisterStatements::selectCodeTimes();
        EXPECT_TRUE(count.openQuery(RegisterStatements::countRowsOf(sql)));
        count.moveFirst();
        return std::stoll("0" + count.fieldText(0));
    }
    void expectSameAsStatement(const char* when)
    {
        for (const std::optional<int>& year : kYears) {
            const BarcodeCount::Result counted = BarcodeCount::count(database(), year);
            EXPECT_TRUE(counted.failure.isEmpty()) << counted.failure.toStdString();
            EXPECT_EQ(counted.rows, byStatement(year))
                << when << ", year " << (year ? std::to_string(*year) : std::string("(all)"));
        }
    }
    qint64 add(const char* number, std::optional<GbkString> time, std::optional<GbkString> barcode = "是"_gbk)
    {
        if (!time && !barcode)
            return m_db.insert(kTable, {{"发文号", utf8ToGbk(number)}});
        if (!time)
            return m_db.insert(kTable, {{"发文号", utf8ToGbk(number)}, {"条码已打", *barcode}});
        if (!barcode)
            return m_db.insert(kTable, {{"发文号", utf8ToGbk(number)}, {"制码时间", *time}});
        return m_db.insert(kTable, {{"发文号", utf8ToGbk(number)}, {"制码时间", *time}, {"条码已打", *barcode}});
    }
    void fillWithOddTexts()
    {
        const std::string longText(40, 'x');
        const struct
        {
            const char* number;
            std::optional<GbkString> time;
            std::optional<GbkString> barcode;
        } rows[] = {
            {"普通", "20260105", "是"_gbk},
            {"年在中间", "12026", "是"_gbk},
            {"年在前面", "20260", "是"_gbk},
            {"两年相叠", "202026", "是"_gbk}, // 2020 and 2026, overlapping
            {"一年两次", "2026-2026", "是"_gbk},
            {"全角数字", "２０２６0105", "是"_gbk},
            {"带时刻", "2025-12-31 23:59:59", "是"_gbk},
            {"空文本", GbkString{}, "是"_gbk},
            {"无时间", std::nullopt, "是"_gbk},
            {"刚好三十二", GbkString(28, '9') + "2026", "是"_gbk},
            {"长文本有年", longText + "2026", "是"_gbk},
            {"长文本无年", longText, "是"_gbk},
            {"中文夹年", "二〇二六年2026年1月"_gbk, "是"_gbk},
            {"未打条码", "20260105", "否"_gbk},
            {"条码带空格", "20260105", "是 "_gbk},
            {"条码为空", "20260105", std::nullopt},
            {"零开头", "0202", "是"_gbk},
        };
        for (const auto& row : rows)
            ASSERT_GT(add(row.number, row.time, row.barcode), 0) << row.number;
        // data.db takes what other programs store: bytes, and numbers in a column of another type.
        if (GetParam() == Backend::Sqlite) {
            ASSERT_TRUE(m_db.execute(QStringLiteral("INSERT INTO 发文登记表 (发文号, 制码时间, 条码已打) VALUES "
                                                    "('字节', CAST('x2026' AS BLOB), '是')")));
        }
    }

    TestDatabase m_db{GetParam()};
};

INSTANTIATE_TEST_SUITE_P(Databases, BarcodeCountTest, ::testing::Values(Backend::Sqlite, Backend::Postgres),
                         BackendName());

TEST_P(BarcodeCountTest, GivesTheStatementsAnswerForEveryTextAndChange)
{
    ASSERT_TRUE(BarcodeCount::isInstalled(database()));
    fillWithOddTexts();
    expectSameAsStatement("filled");
    EXPECT_EQ(BarcodeCount::count(database(), 2026).rows, 8);
    EXPECT_EQ(BarcodeCount::count(database(), 2020).rows, 1);

    // Changes of the counted columns, of others, and deletions.
    ASSERT_TRUE(m_db.execute(QStringLiteral("UPDATE 发文登记表 SET 制码时间 = '20202026' WHERE 发文号 = '普通'")));
    ASSERT_TRUE(m_db.execute(QStringLiteral("UPDATE 发文登记表 SET 条码已打 = '是' WHERE 发文号 = '未打条码'")));
    ASSERT_TRUE(m_db.execute(QStringLiteral("UPDATE 发文登记表 SET 条码已打 = '否' WHERE 发文号 = '年在中间'")));
    ASSERT_TRUE(
        m_db.execute(QStringLiteral("UPDATE 发文登记表 SET 制码时间 = '短了2026' WHERE 发文号 = '长文本无年'")));
    ASSERT_TRUE(m_db.execute(QStringLiteral("UPDATE 发文登记表 SET 标题 = '别的' WHERE 发文号 = '两年相叠'")));
    ASSERT_TRUE(m_db.execute(QStringLiteral("DELETE FROM 发文登记表 WHERE 发文号 IN ('一年两次', '长文本有年')")));
    expectSameAsStatement("changed");

    // Built afresh from the register, the counter gives the same.
    ASSERT_TRUE(BarcodeCount::install(database()).isEmpty());
    expectSameAsStatement("installed again");
    ASSERT_TRUE(m_db.execute(QStringLiteral("DELETE FROM 发文登记表")));
    expectSameAsStatement("emptied");
    EXPECT_TRUE(m_db.prompter().shown().empty());
}

// A register that lost a trigger, or an older one without the counter, is
// counted by the statement; it gets the counter on its next opening.
TEST_P(BarcodeCountTest, ARegisterWithoutTheCounterCountsByTheStatementAndGetsItAtOpening)
{
    ASSERT_TRUE(m_db.execute(QStringLiteral("DROP TRIGGER 发文登记表_制码计数_增") +
                             (GetParam() == Backend::Postgres ? QStringLiteral(" ON 发文登记表") : QString())));
    EXPECT_FALSE(BarcodeCount::isInstalled(database()));
    fillWithOddTexts(); // not seen by the counter
    expectSameAsStatement("without the counter");

    AdoDatabase reopened(m_db.prompter());
    ASSERT_TRUE(reopened.openConnection(AdoDatabase::connectionStringFor(m_db.folder().gbkPath())));
    EXPECT_TRUE(BarcodeCount::isInstalled(database()));
    expectSameAsStatement("after opening again");
}

TEST(BarcodeCountOnSqlite, CountsLongTextsThroughTheirPartialIndex)
{
    TestDatabase db;
    ASSERT_TRUE(db.isOpen());
    QSqlQuery plan(QSqlDatabase::database(db.connection()->name(), false));
    ASSERT_TRUE(plan.exec(QStringLiteral("EXPLAIN QUERY PLAN SELECT count(*) FROM 发文登记表 WHERE 条码已打 = '是' AND "
                                         "(typeof(制码时间) NOT IN ('text', 'null') OR length(制码时间) > 32) AND "
                                         "制码时间 LIKE '%2026%'")));
    QString text;
    while (plan.next())
        text += plan.value(3).toString() + u'\n';
    EXPECT_TRUE(text.contains(QStringLiteral("USING INDEX 发文登记表_制码时间_长"))) << text.toStdString();
}

} // namespace
} // namespace regdesk::test
