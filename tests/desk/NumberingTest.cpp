#include "FakeRegisters.h"
#include "PostgresServer.h"
#include "TestDatabase.h"
#include "TestRecords.h"
#include "db/AdoRecordset.h"
#include "db/NumberOrder.h"
#include "db/RegisterStatements.h"
#include "desk/DocumentNumbering.h"
#include "desk/SqlOutgoingRegister.h"
#include "desk/SqlRegisterStore.h"
#include "platform/GbkQt.h"
#include "settings/SettingsFile.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <gtest/gtest.h>
#include <string>
#include <tuple>

namespace regdesk::test {
namespace {

using namespace DocumentNumbering;

const GbkString kPrefix = "法〔2026〕"_gbk;
const std::vector<GbkString> kPrefixes = {"民〔2026〕"_gbk, kPrefix};

struct SerialCase
{
    const char* name;
    std::vector<const char*> numbers; // UTF-8
    const char* prefix;
    int expected;
};

class LastSerial : public ::testing::TestWithParam<SerialCase>
{
};

TEST_P(LastSerial, IsTheLargestSerialOfThePrefix)
{
    const SerialCase& c = GetParam();
    std::vector<GbkString> numbers;
    for (const char* number : c.numbers)
        numbers.push_back(utf8ToGbk(number));
    EXPECT_EQ(lastSerial(utf8ToGbk(c.prefix), kPrefixes, numbers), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, LastSerial,
    ::testing::Values(SerialCase{"EmptyRegister", {}, "法〔2026〕", 0},
                      SerialCase{
                          "LargestNotLast", {"法〔2026〕3号", "法〔2026〕12号", "法〔2026〕7号"}, "法〔2026〕", 12},
                      SerialCase{"OtherPrefixIgnored", {"民〔2026〕40号", "法〔2026〕2号"}, "法〔2026〕", 2},
                      SerialCase{"NoDigitAfterHeadCountsZero", {"法〔2026〕第5号"}, "法〔2026〕", 0},
                      SerialCase{"LeadingDigitsOnly", {"法〔2026〕15-2号"}, "法〔2026〕", 15},
                      SerialCase{"YearOnlyInSerialIsScanned", {"法〔2025〕2026号", "法〔2026〕4号"}, "法〔2026〕", 4},
                      SerialCase{"HeadMustEqualPrefix", {"刑法〔2026〕9号"}, "法〔2026〕", 0},
                      SerialCase{"PrefixNotOfTheForm", {"刑〔2026〕9号"}, "刑〔2026〕", 0},
                      SerialCase{"TooShortForSerial", {"法〔2026〕"}, "法〔2026〕", 0}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST(DocumentNumberHead, EndsAtTheFirstBracketThatIsACharacter)
{
    EXPECT_EQ(headOf("法〔2026〕3号"_gbk), "法〔2026〕"_gbk);
    EXPECT_EQ(headOf("无括号3号"_gbk), std::nullopt);
    // 啊 is B0 A1 and 长 is B3 A4: the bytes A1 B3 in between are not a "〕".
    EXPECT_EQ(headOf("啊长〔2026〕1号"_gbk), "啊长〔2026〕"_gbk);
}

struct CodeCase
{
    const char* name;
    const char* identifier;
    int identifierLength;
    const char* yearDigits;
    const char* serialDigits;
    int year;
    int barcodesMade;
    const char* expected;
    std::vector<const char*> messages;
};

class CodeNumber : public ::testing::TestWithParam<CodeCase>
{
};

TEST_P(CodeNumber, FollowsTheLayout)
{
    const CodeCase& c = GetParam();
    const CodeNumberLayout layout{utf8ToGbk(c.identifier), c.identifierLength, c.yearDigits, c.serialDigits};
    std::vector<DeskNotice> notices;
    EXPECT_EQ(gbkToUtf8(codeNumber(layout, c.year, c.barcodesMade, notices)), c.expected);
    std::vector<std::string> texts;
    for (const DeskNotice& notice : notices) {
        texts.push_back(gbkToUtf8(notice.text));
        EXPECT_TRUE(notice.caption.empty()) << "layout messages carry the program's name";
    }
    EXPECT_EQ(texts, std::vector<std::string>(c.messages.begin(), c.messages.end()));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, CodeNumber,
    ::testing::Values(
        CodeCase{"TwoYearDigits", "FY", 2, "2", "4", 2026, 0, "FY260001", {}},
        CodeCase{"TwoYearDigitsSingleDigitYear", "FY", 2, "2", "4", 2005, 6, "FY50007", {}},
        CodeCase{"FourYearDigits", "FY", 2, "4", "3", 2026, 41, "FY2026042", {}},
        CodeCase{"NoYear", "FY", 2, "0", "7", 2026, 99, "FY0000100", {}},
        CodeCase{"SerialDigitsTwo", "X", 1, "0", "2", 2026, 0, "X01", {}},
        CodeCase{"SerialWiderThanDigits", "X", 1, "0", "2", 2026, 120, "X121", {}},
        CodeCase{"IdentifierLengthInBytes", "法院", 4, "0", "3", 2026, 0, "法院001", {}},
        CodeCase{"IdentifierLengthWrong", "法院", 2, "0", "3", 2026, 0, "法院001", {"制码号固定标识位数错误!"}},
        CodeCase{"YearDigitsBad", "FY", 2, "3", "3", 2026, 0, "001", {"制码号年度位数不正确!"}},
        CodeCase{"SerialDigitsBad", "FY", 2, "4", "8", 2026, 0, "FY2026", {"制码号流水位数不合适!"}},
        CodeCase{"SerialDigitsOne", "FY", 2, "4", "1", 2026, 0, "FY2026", {"制码号流水位数不合适!"}},
        CodeCase{"AllThreeWrong",
                 "FY",
                 0,
                 "",
                 "",
                 2026,
                 0,
                 "",
                 {"制码号固定标识位数错误!", "制码号年度位数不正确!", "制码号流水位数不合适!"}}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST(NextNumber, FollowsTheLastShown)
{
    EXPECT_EQ(nextNumber("法〔2026〕0号"_gbk), "法〔2026〕1号"_gbk);
    EXPECT_EQ(nextNumber("法〔2026〕41号"_gbk), "法〔2026〕42号"_gbk);
    EXPECT_EQ(nextNumber(GbkString{}), std::nullopt);
    EXPECT_EQ(nextNumber("没有括号"_gbk), std::nullopt);
}

TEST(Proposal, EmptyRegisterGivesSerialZeroAndCodeSerialOne)
{
    FakeOutgoingRegister register_;
    const CodeNumberLayout layout{"FY", 2, "4", "4"};
    const NumberingProposal proposal = propose(kPrefix, kPrefixes, 2026, layout, register_);
    EXPECT_EQ(proposal.lastNumber, "法〔2026〕0号"_gbk);
    EXPECT_EQ(proposal.lastTitle, GbkString{});
    EXPECT_EQ(proposal.codeNumber, "FY20260001");
    EXPECT_TRUE(proposal.notices.empty());
    EXPECT_EQ(register_.searchedYears, std::vector<int>{2026});
    EXPECT_EQ(register_.countedYears, std::vector<std::optional<int>>{2026});
}

TEST(Proposal, YearDigitsZeroCountsAllYears)
{
    FakeOutgoingRegister register_;
    register_.barcoded = 9;
    propose(kPrefix, kPrefixes, 2026, CodeNumberLayout{"FY", 2, "0", "3"}, register_);
    EXPECT_EQ(register_.countedYears, std::vector<std::optional<int>>{std::nullopt});
}

TEST(Proposal, ShowsTheTitleOfTheLastNumber)
{
    FakeOutgoingRegister register_;
    register_.numbers = {"法〔2026〕5号"_gbk};
    register_.titles["法〔2026〕5号"_gbk] = "关于开庭的通知"_gbk;
    const NumberingProposal proposal =
        propose(kPrefix, kPrefixes, 2026, CodeNumberLayout{"FY", 2, "2", "2"}, register_);
    EXPECT_EQ(proposal.lastNumber, "法〔2026〕5号"_gbk);
    EXPECT_EQ(proposal.lastTitle, "关于开庭的通知"_gbk);
    EXPECT_EQ(nextNumber(proposal.lastNumber), "法〔2026〕6号"_gbk);
}

// Numbers held by other desks are passed over; what the clerk sees follows the number proposed.
TEST(Proposal, PassesOverNumbersThatOtherDesksHold)
{
    FakeOutgoingRegister register_;
    register_.numbers = {"法〔2026〕5号"_gbk};
    register_.titles["法〔2026〕5号"_gbk] = "已登记"_gbk;
    register_.barcoded = 3;
    register_.heldElsewhere = {"法〔2026〕6号"_gbk, "法〔2026〕7号"_gbk, "FY260004"};
    const NumberingProposal proposal =
        propose(kPrefix, kPrefixes, 2026, CodeNumberLayout{"FY", 2, "2", "4"}, register_);
    EXPECT_EQ(proposal.lastNumber, "法〔2026〕7号"_gbk);
    EXPECT_EQ(proposal.lastTitle, GbkString{}); // held, not registered
    EXPECT_EQ(nextNumber(proposal.lastNumber), "法〔2026〕8号"_gbk);
    EXPECT_EQ(proposal.codeNumber, "FY260005");
    EXPECT_EQ(register_.reserved, (std::vector<GbkString>{"法〔2026〕8号"_gbk, "FY260005"}));
    EXPECT_EQ(register_.counted, (std::vector<std::pair<std::optional<int>, int>>{{2026, 3}}));
    EXPECT_EQ(register_.units, 1);
}

TEST(Proposal, ReservesNoCodeNumberWithoutASerial)
{
    FakeOutgoingRegister register_;
    propose(kPrefix, kPrefixes, 2026, CodeNumberLayout{"FY", 2, "2", "9"}, register_);
    EXPECT_EQ(register_.reserved, std::vector<GbkString>{"法〔2026〕1号"_gbk});
}

// The same questions asked of a real register, data.db and PostgreSQL.
class NumberingOnDatabase : public ::testing::TestWithParam<Backend>
{
protected:
    void SetUp() override { ASSERT_TRUE(m_db.isOpen()); }
    static bool run(const GbkString& sql) { return TestDatabase::run(sql); }
    static DocumentRecord outgoingRow(const GbkString& number, const GbkString& title,
                                      const GbkString& codeDate = "20260105", const GbkString& barcodeMade = "是"_gbk)
    {
        return registerRow(number, title, codeDate, barcodeMade);
    }

    TestDatabase m_db{GetParam()};
};

INSTANTIATE_TEST_SUITE_P(Databases, NumberingOnDatabase, ::testing::Values(Backend::Sqlite, Backend::Postgres),
                         BackendName());

TEST_P(NumberingOnDatabase, ReadsNumbersTitlesAndBarcodeCounts)
{
    const GbkString table = RegisterStatements::outgoingTable();
    ASSERT_TRUE(run(RegisterStatements::insertOutgoing(table, outgoingRow("法〔2026〕3号"_gbk, "甲"_gbk))));
    ASSERT_TRUE(run(RegisterStatements::insertOutgoing(table, outgoingRow("法〔2026〕11号"_gbk, "乙"_gbk))));
    ASSERT_TRUE(
        run(RegisterStatements::insertOutgoing(table, outgoingRow("法〔2025〕30号"_gbk, "丙"_gbk, "20251230"))));
    ASSERT_TRUE(
        run(RegisterStatements::insertOutgoing(table, outgoingRow("民〔2026〕8号"_gbk, "丁"_gbk, "20260107", {}))));

    SqlOutgoingRegister register_;
    const NumberingProposal proposal =
        propose(kPrefix, kPrefixes, 2026, CodeNumberLayout{"FY", 2, "2", "3"}, register_);
    EXPECT_EQ(proposal.lastNumber, "法〔2026〕11号"_gbk);
    EXPECT_EQ(proposal.lastTitle, "乙"_gbk);
    EXPECT_EQ(proposal.codeNumber, "FY26003"); // two barcoded rows of 2026, the unbarcoded one not counted
    EXPECT_EQ(register_.countBarcoded(std::nullopt), 3);
    EXPECT_EQ(register_.countBarcoded(2025), 1);

    // Deleting a registration lowers the count again.
    ASSERT_TRUE(run(RegisterStatements::deleteNumber(table, "法〔2026〕11号"_gbk)));
    EXPECT_EQ(propose(kPrefix, kPrefixes, 2026, CodeNumberLayout{"FY", 2, "2", "3"}, register_).codeNumber, "FY26002");
    EXPECT_TRUE(m_db.prompter().shown().empty());
}

TEST_P(NumberingOnDatabase, NumbersReadAsTheRecordsetReadsThem)
{
    const GbkString table = RegisterStatements::outgoingTable();
    const std::vector<GbkString> stored = {"法〔2026〕3号"_gbk,  " 法〔2026〕4号  "_gbk, "法〔2026〕5号　"_gbk,
                                           "法〔2026〕六号"_gbk, "法〔2026〕7"_gbk,      "甲法〔2026〕8号"_gbk,
                                           "民〔2026〕9号"_gbk,  "法〔2025〕10号"_gbk,   "\t法〔2026〕2号"_gbk};
    for (const GbkString& number : stored)
        ASSERT_TRUE(run(RegisterStatements::insertOutgoing(table, outgoingRow(number, "题"_gbk))));

    std::vector<GbkString> expected;
    AdoRecordset records;
    ASSERT_TRUE(records.openQuery(RegisterStatements::selectNumbersOfYear(2026)));
    for (records.moveFirst(); !records.isEof(); records.moveNext()) {
        if (records.fieldText(0).starts_with(kPrefix))
            expected.push_back(records.fieldText(0));
    }
    ASSERT_EQ(expected.size(), 6u);
    SqlOutgoingRegister register_;
    std::vector<GbkString> numbers = register_.numbersOfYear(2026, kPrefix);
    std::sort(numbers.begin(), numbers.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(numbers, expected);
    EXPECT_EQ(lastSerial(kPrefix, kPrefixes, numbers), 5);
}

// The last serial is found from the highest bound down; on every kind of
// number it must be the serial the whole reading gives. Each set is added to
// the register in turn, so the highest serial moves between shapes.
TEST_P(NumberingOnDatabase, TheBoundedReadingFindsTheSameLastSerial)
{
    const GbkString table = RegisterStatements::outgoingTable();
    // Forty numbers without 号 whose digits run on (serial 30, bounds 3000 to
    // 3039) above the two that count, one of them zero-padded past 18 digits.
    std::vector<GbkString> manyAboveTheirSerial = {"法〔2026〕42号"_gbk, "法〔2026〕00000000000000000000043号"_gbk};
    for (int i = 0; i < 40; ++i)
        manyAboveTheirSerial.push_back(kPrefix + std::to_string(3000 + i));
    const std::vector<std::vector<GbkString>> sets = {
        {"法〔2026〕3号"_gbk, "法〔2026〕12号"_gbk},
        {"法〔2026〕1234"_gbk},                            // no 号: the last two bytes are cut, serial 12
        {"法〔2026〕 99号"_gbk, "法〔2026〕+98号"_gbk},    // no digit right after the head: serial 0
        {"  法〔2026〕40号"_gbk, "\t法〔2026〕41号 "_gbk}, // leading blanks, read trimmed
        {"法〔2026〕15-2号"_gbk, "法〔2026〕５０号"_gbk},  // full-width digits are no digits
        manyAboveTheirSerial,                              // read past the first pages
        {"法〔2026〕99999999999999999999999号"_gbk},       // more digits than an int holds
        {"FA〔2026〕77号"_gbk, "法〔2026〕88"_gbk},        // another prefix; digits into the end
    };
    SqlOutgoingRegister register_;
    for (const std::vector<GbkString>& set : sets) {
        for (const GbkString& number : set)
            ASSERT_TRUE(run(RegisterStatements::insertOutgoing(table, outgoingRow(number, "题"_gbk))));
        const int expected = lastSerial(kPrefix, kPrefixes, register_.numbersOfYear(2026, kPrefix));
        const NumberingProposal proposal =
            propose(kPrefix, kPrefixes, 2026, CodeNumberLayout{"FY", 2, "2", "3"}, register_);
        EXPECT_EQ(proposal.lastNumber, kPrefix + std::to_string(expected) + "号"_gbk) << gbkToUtf8(set.front());
    }
    EXPECT_EQ(lastSerial(kPrefix, kPrefixes, register_.numbersOfYear(2026, kPrefix)), 2147483647);
    EXPECT_TRUE(m_db.prompter().shown().empty());
}

TEST(NumberingOnSqlite, ReadsAPrefixsNumbersThroughTheIndex)
{
    TestDatabase db;
    ASSERT_TRUE(db.isOpen());
    QSqlQuery plan(QSqlDatabase::database(db.connection()->name(), false));
    ASSERT_TRUE(plan.exec(QStringLiteral("EXPLAIN QUERY PLAN ") +
                          toQString(RegisterStatements::selectNumbersOfYearHeadedBy(2026, kPrefix))));
    QString text;
    while (plan.next())
        text += plan.value(3).toString() + u'\n';
    EXPECT_TRUE(text.contains(QStringLiteral("SEARCH 发文登记表 USING COVERING INDEX"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("SCAN"))) << text.toStdString();
}

// One desk numbering and saving on a real register as the clerk does (a
// proposal, then 保存 of its row, or a deletion from the query window): the
// code number proposed is always the count of barcodes + 1, whatever was
// saved, deleted or dated before.
struct DeskStep
{
    enum Action
    {
        Save,           // a barcoded row of this year
        SaveUnbarcoded, // OK at "条码未生成,仍要发文登记吗？"
        SaveOtherYear,  // a barcode whose 制码时间 is of 2025
        ProposeOnly,    // the clerk chooses the prefix again, saves nothing
        DeleteFirst,    // the first row saved, deleted
        DeleteLast,     // the last row saved, deleted
    };
    Action action;
    const char* proposed; // the code number proposed before the action (none for a deletion)
};

struct DeskSequence
{
    const char* name;
    const char* yearDigits;
    std::vector<DeskStep> steps;
    const char* finallyProposed;
};

class OneDesk : public ::testing::TestWithParam<std::tuple<DeskSequence, Backend>>
{
protected:
    void SetUp() override { ASSERT_TRUE(m_db.isOpen()); }

    // What the counting statement itself gives, as the code number.
    static GbkString countedProposal(const CodeNumberLayout& layout)
    {
        const GbkString sql = layout.yearDigits == "0" ? RegisterStatements::selectCodeTimes()
                                                       : RegisterStatements::selectCodeTimesOfYear(2026);
        AdoRecordset count;
        EXPECT_TRUE(count.openQuery(RegisterStatements::countRowsOf(sql)));
        count.moveFirst();
        std::vector<DeskNotice> notices;
        return codeNumber(layout, 2026, std::stoi("0" + count.fieldText(0)), notices);
    }

    TestDatabase m_db{std::get<1>(GetParam())};
};

TEST_P(OneDesk, ProposesTheCountOfBarcodesPlusOne)
{
    const DeskSequence& sequence = std::get<0>(GetParam());
    const CodeNumberLayout layout{"FY", 2, sequence.yearDigits, "3"};
    const GbkString table = RegisterStatements::outgoingTable();
    SqlOutgoingRegister register_;
    SqlRegisterStore store;
    std::vector<GbkString> saved;
    int step = 0;
    for (const DeskStep& s : sequence.steps) {
        SCOPED_TRACE("step " + std::to_string(++step));
        if (s.action == DeskStep::DeleteFirst || s.action == DeskStep::DeleteLast) {
            ASSERT_FALSE(saved.empty());
            const auto row = s.action == DeskStep::DeleteFirst ? saved.begin() : saved.end() - 1;
            ASSERT_TRUE(TestDatabase::run(RegisterStatements::deleteNumber(table, *row)));
            saved.erase(row);
            continue;
        }
        const NumberingProposal proposal = propose(kPrefix, kPrefixes, 2026, layout, register_);
        EXPECT_EQ(gbkToUtf8(proposal.codeNumber), s.proposed);
        EXPECT_EQ(proposal.codeNumber, countedProposal(layout));
        if (s.action == DeskStep::ProposeOnly)
            continue;
        DocumentRecord row = registerRow(*nextNumber(proposal.lastNumber), "题"_gbk,
                                         s.action == DeskStep::SaveOtherYear ? "20251231" : "20260105",
                                         s.action == DeskStep::SaveUnbarcoded ? GbkString{} : "是"_gbk);
        row[DocumentRecord::CodeNumber] = proposal.codeNumber;
        ASSERT_TRUE(store.insert(table, row, true, store.isRegistered(table, row[DocumentRecord::Number])));
        saved.push_back(row[DocumentRecord::Number]);
    }
    const NumberingProposal last = propose(kPrefix, kPrefixes, 2026, layout, register_);
    EXPECT_EQ(gbkToUtf8(last.codeNumber), sequence.finallyProposed);
    EXPECT_EQ(last.codeNumber, countedProposal(layout));
    EXPECT_TRUE(m_db.prompter().shown().empty());
}

using Step = DeskStep;
INSTANTIATE_TEST_SUITE_P(
    Sequences, OneDesk,
    ::testing::Combine(
        ::testing::Values(
            DeskSequence{"BarcodedSaves", "2", {{Step::Save, "FY26001"}, {Step::Save, "FY26002"}}, "FY26003"},
            DeskSequence{"UnbarcodedSaveThenThreeBarcoded",
                         "2",
                         {{Step::SaveUnbarcoded, "FY26001"},
                          {Step::Save, "FY26001"},
                          {Step::Save, "FY26002"},
                          {Step::Save, "FY26003"}},
                         "FY26004"},
            DeskSequence{"ProposedAgainUntilSaved",
                         "2",
                         {{Step::ProposeOnly, "FY26001"}, {Step::ProposeOnly, "FY26001"}, {Step::Save, "FY26001"}},
                         "FY26002"},
            DeskSequence{"DeletedBarcodedRow", "2", {{Step::Save, "FY26001"}, {Step::DeleteLast, nullptr}}, "FY26001"},
            DeskSequence{"DeletedEarlierRowRightAfterASave",
                         "2",
                         {{Step::Save, "FY26001"}, {Step::Save, "FY26002"}, {Step::DeleteFirst, nullptr}},
                         "FY26002"},
            DeskSequence{
                "BarcodeOfAnotherYear", "2", {{Step::SaveOtherYear, "FY26001"}, {Step::Save, "FY26001"}}, "FY26002"},
            DeskSequence{"YearDigitsZeroCountsEveryYear",
                         "0",
                         {{Step::SaveOtherYear, "FY001"}, {Step::SaveUnbarcoded, "FY002"}, {Step::Save, "FY002"}},
                         "FY003"}),
        ::testing::Values(Backend::Sqlite, Backend::Postgres)),
    [](const auto& paramInfo) {
        return std::string(std::get<0>(paramInfo.param).name) + "_" + backendName(std::get<1>(paramInfo.param));
    });

// On the server the count and its triggers run with their owner's rights: a
// desk user granted only the registers and the claims numbers and saves.
TEST(NumberingOnServer, ADeskUserWithoutRightsOnTheCounterNumbersAndSaves)
{
    TestDatabase db(Backend::Postgres);
    ASSERT_TRUE(db.isOpen());
    for (const char* statement : {"DROP ROLE IF EXISTS 登记员", "CREATE ROLE 登记员 LOGIN",
                                  "GRANT SELECT, INSERT, UPDATE, DELETE ON 发文登记表, 收文登记表, 人员信息表, "
                                  "号码占用表 TO 登记员",
                                  "GRANT USAGE ON SEQUENCE 号码占用表_会话 TO 登记员"})
        ASSERT_TRUE(TestDatabase::run(utf8ToGbk(statement))) << statement;
    db.folder().writeSettings(
        PostgresServer::instance().settingsSection(db.database().connection()->databasePath(), "登记员"));
    FakePrompter prompter;
    {
        AdoDatabase desk(prompter);
        ASSERT_TRUE(desk.openConnection(AdoDatabase::connectionStringFor(db.folder().gbkPath())));
        AdoDatabase::setActiveConnection(desk.connection());
        const CodeNumberLayout layout{"FY", 2, "2", "3"};
        SqlOutgoingRegister register_;
        SqlRegisterStore store;
        const NumberingProposal first = propose(kPrefix, kPrefixes, 2026, layout, register_);
        EXPECT_EQ(first.codeNumber, "FY26001");
        DocumentRecord row = registerRow(*nextNumber(first.lastNumber), "题"_gbk);
        row[DocumentRecord::CodeNumber] = first.codeNumber;
        EXPECT_TRUE(store.insert(RegisterStatements::outgoingTable(), row, true, false));
        EXPECT_EQ(propose(kPrefix, kPrefixes, 2026, layout, register_).codeNumber, "FY26002");
    }
    AdoDatabase::setActiveConnection(db.database().connection());
    EXPECT_TRUE(prompter.texts().empty()) << prompter.texts().value(0).toStdString();
    EXPECT_EQ(db.value(QStringLiteral("SELECT 数 FROM 制码计数 WHERE 年 = 2026")), QStringLiteral("1"));
}

// The server reads a prefix's numbers through their index, which a register
// made before it gets when a desk opens it.
TEST(NumberingOnServer, ReadsAPrefixsNumbersThroughTheirIndex)
{
    TestDatabase db(Backend::Postgres);
    ASSERT_TRUE(db.isOpen());
    ASSERT_TRUE(db.execute(QStringLiteral("DROP INDEX %1").arg(NumberOrder::indexName())));
    FakePrompter prompter;
    AdoDatabase desk(prompter);
    ASSERT_TRUE(desk.openConnection(AdoDatabase::connectionStringFor(db.folder().gbkPath())));
    const QSqlDatabase database = QSqlDatabase::database(desk.connection()->name(), false);
    EXPECT_TRUE(NumberOrder::isInstalled(database));

    QSqlQuery plan(database);
    ASSERT_TRUE(plan.exec(QStringLiteral("SET enable_seqscan = off")));
    for (const bool after : {false, true}) {
        QString statement = NumberOrder::pageStatement(after, 16);
        statement.replace(statement.indexOf(u'?'), 1, QStringLiteral("'法〔2026〕'"));
        statement.replace(QStringLiteral("(?, ?)"), QStringLiteral("(7, 1)"));
        ASSERT_TRUE(plan.exec(QStringLiteral("EXPLAIN ") + statement)) << plan.lastError().text().toStdString();
        QString text;
        while (plan.next())
            text += plan.value(0).toString() + u'\n';
        EXPECT_TRUE(text.contains(QStringLiteral("Index Cond")) && text.contains(NumberOrder::indexName()) &&
                    !text.contains(QStringLiteral("Sort")))
            << text.toStdString();
    }
    EXPECT_FALSE(NumberOrder::answersFor(QStringLiteral("法〔2025〕"), 2026));   // another year's prefix
    EXPECT_FALSE(NumberOrder::answersFor(QStringLiteral("法〔2026〕〕"), 2026)); // not a head
}

// The count comes from the register's counter, not from reading the register.
TEST_P(NumberingOnDatabase, CountsBarcodesFromTheCounter)
{
    ASSERT_TRUE(m_db.insertOutgoing(outgoingRow("法〔2026〕1号"_gbk, "甲"_gbk)));
    SqlOutgoingRegister register_;
    EXPECT_EQ(register_.countBarcoded(2026), 1);
    ASSERT_TRUE(m_db.execute(QStringLiteral("UPDATE 制码计数 SET 数 = 41 WHERE 年 = 2026")));
    EXPECT_EQ(register_.countBarcoded(2026), 41);
    EXPECT_EQ(register_.countBarcoded(999), 0); // no four-digit year: the statement
}

TEST_P(NumberingOnDatabase, EmptyRegister)
{
    SqlOutgoingRegister register_;
    const NumberingProposal proposal =
        propose(kPrefix, kPrefixes, 2026, CodeNumberLayout{"FY", 2, "4", "4"}, register_);
    EXPECT_EQ(proposal.lastNumber, "法〔2026〕0号"_gbk);
    EXPECT_EQ(proposal.lastTitle, GbkString{});
    EXPECT_EQ(proposal.codeNumber, "FY20260001");
}

} // namespace
} // namespace regdesk::test
