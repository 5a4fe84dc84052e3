#include "FakePrompter.h"
#include "PostgresServer.h"
#include "TestDatabase.h"
#include "db/AdoDatabase.h"
#include "db/PostgresRegisterSearch.h"
#include "db/RegisterDatabaseFile.h"
#include "db/RegisterStatements.h"
#include "db/SearchIndex.h"
#include "db/SqlDialect.h"
#include "db/SqliteRegisterSearch.h"
#include "platform/GbkQt.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <gtest/gtest.h>
#include <memory>

using namespace regdesk;
using regdesk::test::TestDatabase;

namespace {

const GbkString kTable = RegisterStatements::outgoingTable();

std::vector<std::string> numbersOf(const SearchResult& result)
{
    std::vector<std::string> numbers;
    for (const ListRow& row : result.rows)
        numbers.push_back(gbkToUtf8(row.at(0)));
    return numbers;
}

std::vector<GbkString> gbkTerms(const std::vector<const char*>& terms)
{
    std::vector<GbkString> converted;
    for (const char* term : terms)
        converted.push_back(utf8ToGbk(term));
    return converted;
}

// Where a search runs: data.db with its helper index or reading the whole
// register, or PostgreSQL; every rule holds on each.
enum class SearchMode
{
    Indexed,
    Scanned,
    Server,
};

std::string modeName(SearchMode mode)
{
    return mode == SearchMode::Indexed ? "_indexed" : mode == SearchMode::Scanned ? "_scanned" : "_PostgreSQL";
}

const auto kSearchModes = ::testing::Values(SearchMode::Indexed, SearchMode::Scanned, SearchMode::Server);

// A small register whose records each stand for one rule of the search.
class RegisterSearchTest : public ::testing::Test
{
protected:
    explicit RegisterSearchTest(SearchMode mode = SearchMode::Indexed)
        : m_db(mode == SearchMode::Server ? test::Backend::Postgres : test::Backend::Sqlite),
          m_search(makeRegisterSearch(m_db.connection()))
    {
        if (auto* sqlite = dynamic_cast<SqliteRegisterSearch*>(m_search.get()))
            sqlite->setIndexUse(mode == SearchMode::Indexed);
    }

    void SetUp() override
    {
        ASSERT_TRUE(m_db.isOpen());
        ASSERT_GE(m_db.insert(kTable, {{"发文号", "A1"_gbk},
                                       {"标题", "关于表彰先进集体的通知"_gbk},
                                       {"主送", "各庭室"_gbk},
                                       {"备注", "拟稿人：张三"_gbk}}),
                  0);
        ASSERT_GE(m_db.insert(kTable,
                              {{"发文号", "A2"_gbk}, {"标题", "关于召开会议的通知"_gbk}, {"版本", "GB0626-2005"_gbk}}),
                  0);
        // 啊博 is B0 A1 B2 A9 in GBK: the bytes of 〔 (A1 B2) stand across its characters.
        ASSERT_GE(m_db.insert(kTable, {{"发文号", "A3"_gbk}, {"标题", "啊博"_gbk}, {"文种", "Report"_gbk}}), 0);
        ASSERT_GE(m_db.insert(kTable, {{"发文号", "A4"_gbk}, {"标题", " 甲乙 "_gbk}, {"密级", "丙丁"_gbk}}), 0);
        ASSERT_GE(m_db.insert(kTable, {{"发文号", "A5"_gbk}, {"标题", "独有词"_gbk}, {"文种", "函"_gbk}}), 0);
        ASSERT_GE(m_db.insert(kTable, {{"发文号", "a5"_gbk}, {"标题", "其他"_gbk}, {"文种", "函"_gbk}}), 0);
        ASSERT_GE(m_db.insert(kTable, {{"标题", "无号记录"_gbk}}), 0);
        ASSERT_GE(m_db.insert(kTable, {{"发文号", "A7"_gbk}, {"标题", "O'Brien的信"_gbk}, {"备注", "say \"hi\""_gbk}}),
                  0);
        ASSERT_GE(m_db.insert(kTable, {{"发文号", "A8"_gbk}, {"标题", "100%完成"_gbk}, {"制码号", "HZ_01"_gbk}}), 0);
    }

    TestDatabase m_db;
    std::unique_ptr<RegisterSearch> m_search;
};

struct FuzzyCase
{
    const char* name;
    std::vector<const char*> terms;
    std::vector<std::string> numbers;
};

class FuzzySearch : public RegisterSearchTest, public ::testing::WithParamInterface<std::tuple<FuzzyCase, SearchMode>>
{
protected:
    FuzzySearch() : RegisterSearchTest(std::get<1>(GetParam())) {}
};

TEST_P(FuzzySearch, FindsEveryTermInTheJoinedColumns)
{
    const FuzzyCase& row = std::get<0>(GetParam());
    const SearchResult result = m_search->fuzzy(kTable, gbkTerms(row.terms), {});
    EXPECT_TRUE(result.error.isEmpty()) << result.error.toStdString();
    EXPECT_EQ(numbersOf(result), row.numbers);
}

INSTANTIATE_TEST_SUITE_P(
    Terms, FuzzySearch,
    ::testing::Combine(
        ::testing::Values(
            FuzzyCase{"bothTermsPresent", {"表彰", "张三"}, {"A1"}}, FuzzyCase{"oneTermMissing", {"表彰", "李四"}, {}},
            FuzzyCase{"termAcrossTrimmedColumns", {"乙丙"}, {"A4"}}, FuzzyCase{"caseSensitive", {"report"}, {}},
            FuzzyCase{"caseAsWritten", {"Report"}, {"A3"}}, FuzzyCase{"noMatchAcrossACharacterBoundary", {"〔"}, {}},
            FuzzyCase{"versionIsSearched", {"0626"}, {"A2"}}, FuzzyCase{"oneCharacter", {"召"}, {"A2"}},
            FuzzyCase{"lastCharacterOfTheText", {"三"}, {"A1"}},
            FuzzyCase{"longTermAnywhere", {"召开会议的通知"}, {"A2"}},
            FuzzyCase{"longTermOutOfOrder", {"会议召开"}, {}}, FuzzyCase{"latestMatchFirst", {"通知"}, {"A2", "A1"}},
            FuzzyCase{"namesakeListedWithTheMatch", {"独有词"}, {"A5", "a5"}},
            FuzzyCase{"eachMatchBringsItsNamesakes", {"函"}, {"A5", "a5", "A5", "a5"}},
            FuzzyCase{"recordWithoutNumber", {"无号记录"}, {""}}, FuzzyCase{"quotesInTerms", {"O'B", "\"hi\""}, {"A7"}},
            FuzzyCase{"percentIsPlainText", {"%完"}, {"A8"}}, FuzzyCase{"unknownCharacter", {"鑫"}, {}},
            FuzzyCase{"underscoreIsPlainText", {"Z_0"}, {"A8"}}, FuzzyCase{"punctuationOnly", {"%"}, {"A8"}}),
        kSearchModes),
    [](const auto& test) { return std::string(std::get<0>(test.param).name) + modeName(std::get<1>(test.param)); });

// A database step that names every record as a candidate and finds no
// namesakes: what such a search returns is the shared rule's doing alone.
class EveryRecordSearch final : public RegisterSearch
{
public:
    explicit EveryRecordSearch(QSqlDatabase database) : m_database(std::move(database)) {}

    SearchResult exact(const GbkString&, const GbkString&, const GbkString&, const SearchProgress&) override
    {
        return {};
    }

private:
    Candidates fuzzyCandidates(const QString& table, const std::vector<QString>&, const SearchProgress&) override
    {
        Candidates candidates;
        QSqlQuery& query = candidates.query.emplace(m_database);
        if (!query.exec(candidatesSql(table, {})))
            return {std::nullopt, query.lastError().text()};
        return candidates;
    }
    QString findNamesakes(const QString&, const std::vector<QVariant>&, std::vector<std::vector<qint64>>&,
                          std::map<qint64, ListRow>&) override
    {
        return {};
    }

    QSqlDatabase m_database;
};

TEST_F(RegisterSearchTest, TheRuleIsCheckedOnWhateverTheDatabaseNames)
{
    EveryRecordSearch search(QSqlDatabase::database(m_db.connection()->name(), false));
    const std::vector<std::pair<std::vector<const char*>, std::vector<std::string>>> cases = {
        {{"表彰", "张三"}, {"A1"}}, {{"乙丙"}, {"A4"}}, {{"report"}, {}},     {{"〔"}, {}},
        {{"通知"}, {"A2", "A1"}},   {{"会议召开"}, {}}, {{"独有词"}, {"A5"}}, // no namesakes found: the match alone
    };
    for (const auto& [terms, numbers] : cases) {
        const SearchResult result = search.fuzzy(kTable, gbkTerms(terms), {});
        EXPECT_TRUE(result.error.isEmpty()) << result.error.toStdString();
        EXPECT_EQ(numbersOf(result), numbers) << terms.front();
    }
}

struct ExactCase
{
    const char* name;
    const char* column;
    const char* value;
    std::vector<std::string> numbers;
};

class ExactSearch : public RegisterSearchTest, public ::testing::WithParamInterface<std::tuple<ExactCase, SearchMode>>
{
protected:
    ExactSearch() : RegisterSearchTest(std::get<1>(GetParam())) {}
};

TEST_P(ExactSearch, FindsTheValueInOneColumn)
{
    const ExactCase& row = std::get<0>(GetParam());
    const SearchResult result = m_search->exact(kTable, utf8ToGbk(row.column), utf8ToGbk(row.value), {});
    EXPECT_TRUE(result.error.isEmpty()) << result.error.toStdString();
    EXPECT_EQ(numbersOf(result), row.numbers);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ExactSearch,
    ::testing::Combine(::testing::Values(ExactCase{"titleWord", "标题", "通知", {"A1", "A2"}},
                                         ExactCase{"otherColumnsNotSearched", "标题", "张三", {}},
                                         ExactCase{"asciiCaseIgnored", "文种", "report", {"A3"}},
                                         ExactCase{"percentIsLiteral", "标题", "0%", {"A8"}},
                                         ExactCase{"underscoreIsLiteral", "制码号", "Z_0", {"A8"}},
                                         ExactCase{"underscoreMatchesNothingElse", "标题", "关_", {}},
                                         ExactCase{"quote", "标题", "O'Brien", {"A7"}},
                                         ExactCase{"blanksOfTheStoredField", "标题", " 甲乙", {"A4"}},
                                         ExactCase{"noMatchAcrossACharacterBoundary", "标题", "〔", {}},
                                         ExactCase{"asciiCaseIgnoredInAWord", "标题", "o'brien", {"A7"}}),
                       kSearchModes),
    [](const auto& test) { return std::string(std::get<0>(test.param).name) + modeName(std::get<1>(test.param)); });

class EitherSearch : public RegisterSearchTest, public ::testing::WithParamInterface<SearchMode>
{
protected:
    EitherSearch() : RegisterSearchTest(GetParam()) {}
};

INSTANTIATE_TEST_SUITE_P(Modes, EitherSearch, ::testing::Values(SearchMode::Indexed, SearchMode::Server),
                         [](const auto& test) { return modeName(test.param).substr(1); });

TEST_P(EitherSearch, ExactSearchTakesOnlyTheRegistersColumnNames)
{
    for (const char* column : {"发文号='' OR 1=1 --", "版本", "文件数据", "1=1 OR 标题"}) {
        const SearchResult result = m_search->exact(kTable, utf8ToGbk(column), "x", {});
        EXPECT_FALSE(result.error.isEmpty()) << column;
        EXPECT_TRUE(result.rows.empty()) << column;
    }
    EXPECT_EQ(m_db.value(QStringLiteral("SELECT count(*) FROM 发文登记表")), QStringLiteral("9"));
}

// Terms of one, two and three characters and the value of an exact search
// all reach the server's index (the plan's only other way is a full scan).
TEST(ServerSearchIndex, ServesTermsOfEveryLength)
{
    TestDatabase db(test::Backend::Postgres);
    ASSERT_TRUE(db.isOpen());
    ASSERT_TRUE(db.execute(QStringLiteral("SET enable_seqscan = off")));
    const QString joined = PostgresRegisterSearch::joinedTextSql();
    for (const QString& pattern : {QStringLiteral("LIKE '%召召召%'"), QStringLiteral("LIKE '%表表表彰彰彰%'"),
                                   QStringLiteral("ILIKE '%北北北湖湖湖区区区%'")}) {
        for (const QString& table : {QStringLiteral("发文登记表"), QStringLiteral("收文登记表")}) {
            QSqlQuery plan(QSqlDatabase::database(db.connection()->name(), false));
            ASSERT_TRUE(plan.exec(QStringLiteral("EXPLAIN SELECT rowid FROM %1 WHERE regdesk_tripled(%2) %3")
                                      .arg(table, joined, pattern)));
            QString text;
            while (plan.next())
                text += plan.value(0).toString() + u'\n';
            EXPECT_TRUE(text.contains(QStringLiteral("Index Scan on \"%1_检索\"").arg(table))) << text.toStdString();
        }
    }
    // Numbering's reads go through indexes too.
    QSqlQuery plan(QSqlDatabase::database(db.connection()->name(), false));
    ASSERT_TRUE(
        plan.exec(QStringLiteral("EXPLAIN ") +
                  SqlDialect::toPostgres(RegisterStatements::selectNumbersOfYearHeadedBy(2026, "法〔2026〕"_gbk))));
    QString text;
    while (plan.next())
        text += plan.value(0).toString() + u'\n';
    EXPECT_TRUE(text.contains(QStringLiteral("Index Scan on \"发文登记表_发文号_片段\""))) << text.toStdString();
}

// An earlier server register wrote its index through a function that a
// session with standard_conforming_strings = off read wrongly: the desk's
// next start rebuilds it.
TEST(ServerSearchIndex, AnIndexOfTheEarlierFunctionIsRebuiltAtTheNextStart)
{
    TestDatabase db(test::Backend::Postgres);
    ASSERT_TRUE(db.isOpen());
    ASSERT_TRUE(db.execute(QStringLiteral(
        "CREATE OR REPLACE FUNCTION regdesk_tripled(text) RETURNS text LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE "
        "AS $$ SELECT regexp_replace($1, '(.)', '\\1\\1\\1', 'g') $$")));
    for (const char* table : {"发文登记表", "收文登记表"})
        ASSERT_TRUE(db.execute(QStringLiteral("COMMENT ON INDEX %1_检索 IS NULL").arg(QString::fromUtf8(table))));
    ASSERT_TRUE(db.execute(QStringLiteral("SET standard_conforming_strings = off")));
    ASSERT_GE(db.insert(kTable, {{"发文号", "法〔2026〕1号"_gbk}, {"标题", "关于表彰的决定"_gbk}}), 0);
    ASSERT_TRUE(db.execute(QStringLiteral("SET standard_conforming_strings = on")));

    AdoDatabase::setActiveConnection(nullptr);
    ASSERT_TRUE(db.database().openConnection(AdoDatabase::connectionStringFor(db.folder().gbkPath())));
    AdoDatabase::setActiveConnection(db.database().connection());
    ASSERT_TRUE(db.execute(QStringLiteral("SET enable_seqscan = off")));
    PostgresRegisterSearch search(db.database().connection());
    const SearchResult found = search.fuzzy(kTable, {"表彰"_gbk}, {});
    EXPECT_EQ(found.error, QString());
    EXPECT_EQ(numbersOf(found), std::vector<std::string>{"法〔2026〕1号"});
}

TEST_F(RegisterSearchTest, TheIndexFollowsInsertsUpdatesAndDeletes)
{
    const auto find = [this](const char* term) { return numbersOf(m_search->fuzzy(kTable, gbkTerms({term}), {})); };
    ASSERT_TRUE(m_db.execute(QStringLiteral("UPDATE 发文登记表 SET 标题='调整分工' WHERE 发文号='A2'")));
    EXPECT_EQ(find("召开"), std::vector<std::string>{});
    EXPECT_EQ(find("调整"), std::vector<std::string>{"A2"});
    ASSERT_TRUE(m_db.execute(QStringLiteral("UPDATE 发文登记表 SET 文件数据=x'00ff' WHERE 发文号='A2'")));
    ASSERT_TRUE(m_db.execute(QStringLiteral("DELETE FROM 发文登记表 WHERE 发文号='A1'")));
    EXPECT_EQ(find("表彰"), std::vector<std::string>{});
    ASSERT_GE(m_db.insert(kTable, {{"发文号", "A9"_gbk}, {"标题", "表彰"_gbk}}), 0);
    EXPECT_EQ(find("表彰"), std::vector<std::string>{"A9"});
    EXPECT_EQ(SearchIndex::state(QSqlDatabase::database(m_db.connection()->name(), false), toQString(kTable)),
              SearchIndex::State::InStep);
}

TEST_F(RegisterSearchTest, ADatabaseWithoutTheIndexGetsItAtTheFirstSearch)
{
    const QSqlDatabase database = QSqlDatabase::database(m_db.connection()->name(), false);
    for (const char* drop :
         {"DROP TRIGGER 发文登记表_检索_增", "DROP TRIGGER 发文登记表_检索_删", "DROP TRIGGER 发文登记表_检索_改",
          "DROP TABLE 发文登记表_检索词", "DROP TABLE 发文登记表_检索"})
        ASSERT_TRUE(m_db.execute(QString::fromUtf8(drop)));
    ASSERT_EQ(SearchIndex::state(database, toQString(kTable)), SearchIndex::State::Missing);
    qint64 lastTotal = -1;
    const SearchResult result = m_search->fuzzy(kTable, gbkTerms({"表彰"}), [&](qint64, qint64 total) {
        if (total > 0)
            lastTotal = total;
    });
    EXPECT_EQ(numbersOf(result), std::vector<std::string>{"A1"});
    EXPECT_GT(lastTotal, 0); // the build reported its progress
    EXPECT_EQ(SearchIndex::state(database, toQString(kTable)), SearchIndex::State::InStep);
    EXPECT_EQ(m_db.value(QStringLiteral("SELECT count(*) FROM 发文登记表")), QStringLiteral("9"));
}

TEST_F(RegisterSearchTest, RenumberedRowsAreNoticedAndReindexed)
{
    const QSqlDatabase database = QSqlDatabase::database(m_db.connection()->name(), false);
    ASSERT_TRUE(m_db.execute(QStringLiteral("DELETE FROM 发文登记表 WHERE 发文号='A1'")));
    // Close the gap as a VACUUM may do, behind the index's back.
    ASSERT_TRUE(m_db.execute(QStringLiteral("UPDATE 发文登记表 SET rowid = rowid - 1")));
    ASSERT_EQ(SearchIndex::state(database, toQString(kTable)), SearchIndex::State::Stale);
    EXPECT_EQ(numbersOf(m_search->fuzzy(kTable, gbkTerms({"O'Brien"}), {})), std::vector<std::string>{"A7"});
    EXPECT_EQ(SearchIndex::state(database, toQString(kTable)), SearchIndex::State::InStep);
}

// An older data.db gets its index at the first search, slice by slice: a
// desk that starts and writes meanwhile is not refused, and its record is
// found; an index whose build stopped midway is never searched and is taken
// up where it stopped.
TEST_F(RegisterSearchTest, TheIndexIsBuiltInSlicesThatLeaveOtherDesksWriting)
{
    const QSqlDatabase database = QSqlDatabase::database(m_db.connection()->name(), false);
    for (int i = 0; i < 300; ++i)
        ASSERT_GE(m_db.insert(kTable, {{"发文号", utf8ToGbk("B" + std::to_string(i))}, {"标题", "例会纪要"_gbk}}), 0);
    for (const char* drop :
         {"DROP TRIGGER 发文登记表_检索_增", "DROP TRIGGER 发文登记表_检索_删", "DROP TRIGGER 发文登记表_检索_改",
          "DROP TABLE 发文登记表_检索词", "DROP TABLE 发文登记表_检索"})
        ASSERT_TRUE(m_db.execute(QString::fromUtf8(drop)));
    const SearchIndex::BuildPace small{std::chrono::milliseconds(0), std::chrono::milliseconds(0), 40, 40};

    // A build that stops midway (the program ended) leaves an index that is not used.
    int slices = 0;
    struct Stopped
    {
    };
    EXPECT_THROW(SearchIndex::install(
                     database, toQString(kTable),
                     [&](qint64, qint64) {
                         if (++slices == 3)
                             throw Stopped{};
                     },
                     small),
                 Stopped);
    ASSERT_EQ(SearchIndex::state(database, toQString(kTable)), SearchIndex::State::Partial);
    ASSERT_TRUE(m_db.execute(QStringLiteral("DELETE FROM 发文登记表 WHERE 发文号 IN ('A1', 'B299')")));

    // Taken up again; another desk opens the register and saves meanwhile.
    test::FakePrompter prompter;
    int desksStarted = 0;
    const QString failure = SearchIndex::install(
        database, toQString(kTable),
        [&](qint64, qint64) {
            if (++desksStarted > 2)
                return;
            AdoDatabase desk(prompter);
            ASSERT_TRUE(desk.openConnection(AdoDatabase::connectionStringFor(m_db.folder().gbkPath())))
                << prompter.texts().join(u'\n').toStdString();
            QSqlQuery save(QSqlDatabase::database(desk.connection()->name(), false));
            EXPECT_TRUE(save.exec(
                QStringLiteral("INSERT INTO 发文登记表 (发文号, 标题) VALUES ('C%1', '表彰决定')").arg(desksStarted)))
                << save.lastError().text().toStdString();
        },
        small);
    EXPECT_EQ(failure, QString());
    // The 120 records of the first three slices were kept: 190 left, 40 a slice.
    EXPECT_EQ(desksStarted, 5);
    EXPECT_EQ(SearchIndex::state(database, toQString(kTable)), SearchIndex::State::InStep);
    EXPECT_EQ(
        numbersOf(m_search->fuzzy(kTable, gbkTerms({"例会", "B29"}), {})),
        (std::vector<std::string>{"B298", "B297", "B296", "B295", "B294", "B293", "B292", "B291", "B290", "B29"}));
    EXPECT_EQ(numbersOf(m_search->fuzzy(kTable, gbkTerms({"表彰"}), {})), (std::vector<std::string>{"C2", "C1"}));
    EXPECT_EQ(numbersOf(m_search->fuzzy(kTable, gbkTerms({"B299"}), {})), std::vector<std::string>{});
}

TEST(RegisterDatabaseFile, ANewDatabaseHasBothSearchIndexes)
{
    TestDatabase db;
    ASSERT_TRUE(db.isOpen());
    const QSqlDatabase database = QSqlDatabase::database(db.connection()->name(), false);
    for (const GbkString& table : {RegisterStatements::outgoingTable(), RegisterStatements::incomingTable()})
        EXPECT_EQ(SearchIndex::state(database, toQString(table)), SearchIndex::State::InStep);
}

} // namespace
