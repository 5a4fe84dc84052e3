#include "people/PeopleImport.h"

#include "FakePrompter.h"
#include "TempDeskFolder.h"
#include "TestData.h"
#include "db/AdoDatabase.h"
#include "db/AdoRecordset.h"
#include "db/RegisterStatements.h"
#include "people/NameCompletion.h"
#include "platform/FileSystem.h"
#include "platform/GbkQt.h"
#include "platform/OfficeConverter.h"

#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

namespace regdesk::test {
namespace {

using Rows = std::vector<std::pair<std::string, std::string>>; // UTF-8, for readable failures
using Status = PeopleImport::Status;

// A stand-in for the pinyin initials: the import must store what it returns.
GbkString fakeInitials(const GbkString& name)
{
    static const std::map<GbkString, GbkString> known = {{"张三"_gbk, "ZS"}, {"李四"_gbk, "LS"}, {"王五"_gbk, "WW"}};
    const auto found = known.find(name);
    return found == known.end() ? "?" : found->second;
}

class PeopleImportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.createDatabase());
        ASSERT_TRUE(m_database.openConnection(AdoDatabase::connectionStringFor(m_folder.gbkPath())));
        AdoDatabase::setActiveConnection(m_database.connection());
        run(RegisterStatements::insertPerson("旧人"_gbk, "JR"));
    }
    void TearDown() override { AdoDatabase::setActiveConnection(nullptr); }

    static void run(const GbkString& sql)
    {
        AdoRecordset statement;
        ASSERT_TRUE(statement.openQuery(sql)) << gbkToUtf8(sql);
    }

    static Rows people()
    {
        Rows rows;
        AdoRecordset table;
        if (!table.openQuery(RegisterStatements::selectPeople()))
            return rows;
        for (table.moveFirst(); !table.isEof(); table.moveNext())
            rows.emplace_back(gbkToUtf8(table.fieldText(0)), gbkToUtf8(table.fieldText(1)));
        return rows;
    }

    GbkString copy(const std::string& fixture, const QString& name)
    {
        m_folder.writeFile(name, testData("people/" + fixture));
        return fromNativePath(m_folder.filePath(name).toStdString());
    }

    PeopleImport::Outcome importFile(const GbkString& path) { return m_import.importFile(path); }

    TempDeskFolder m_folder;
    FakePrompter m_prompter;
    AdoDatabase m_database{m_prompter};
    AdoPeopleTable m_table;
    OfficeConverter m_converter;
    PeopleImport m_import{m_prompter, nullptr, m_table, fakeInitials, m_converter};
    const Rows m_oldTable = {{"旧人", "JR"}};
};

TEST_F(PeopleImportTest, NamesUpToAnEmptyRowReplaceTheTableWithComputedInitials)
{
    // Through the dialog, to a file whose name is Chinese.
    m_prompter.willChooseFile(m_folder.filePath(QStringLiteral("人员名单.xls")));
    copy("people-gap.xls", QStringLiteral("人员名单.xls"));
    // A completion set up before the import, as the form's drafter field is.
    NameCompletion completion;
    AdoRecordset source;
    ASSERT_TRUE(source.openQuery(RegisterStatements::selectPeople()));
    completion.setSource(source);
    completion.setDisplayColumn("姓名"_gbk);
    completion.setAbbreviationSearch(true);

    const PeopleImport::Outcome outcome = m_import.run();

    EXPECT_EQ(outcome.status, Status::Replaced);
    EXPECT_TRUE(outcome.namesChanged());
    EXPECT_EQ(outcome.imported, 2);
    // 李四's old initials LISI in the second column are not taken over.
    EXPECT_EQ(people(), (Rows{{"张三", "ZS"}, {"李四", "LS"}}));
    EXPECT_EQ(m_prompter.texts(), QStringList{QStringLiteral("更新信息2条")});
    EXPECT_EQ(m_prompter.captions(), QStringList{QString()});
    // It offers the new names at once.
    const std::optional<CompletionTable> offered = completion.complete("l");
    ASSERT_TRUE(offered);
    EXPECT_EQ(offered->rows, (std::vector<std::vector<GbkString>>{{"李四"_gbk, "LS"}}));
}

TEST_F(PeopleImportTest, NamesToTheLastRowEndWithoutAMessage)
{
    const PeopleImport::Outcome outcome = importFile(copy("people.xls", QStringLiteral("p.xls")));

    EXPECT_EQ(outcome.status, Status::Replaced);
    EXPECT_EQ(people(), (Rows{{"张三", "ZS"}, {"李四", "LS"}}));
    EXPECT_TRUE(m_prompter.texts().isEmpty());
}

TEST_F(PeopleImportTest, TextFileIsImportedLineByLine)
{
    m_folder.writeFile(QStringLiteral("names.txt"), utf8ToGbk("姓名\r\n张三\r\n李四\r\n\r\n王五\r\n"));

    EXPECT_EQ(importFile(joinPath(m_folder.gbkPath(), "names.txt")).status, Status::Replaced);

    EXPECT_EQ(people(), (Rows{{"张三", "ZS"}, {"李四", "LS"}}));
    EXPECT_EQ(m_prompter.texts(), QStringList{QStringLiteral("更新信息2条")});
}

struct RejectedCase
{
    const char* name;
    const char* fileName;
    std::function<std::string()> bytes;
};

class RejectedFile : public PeopleImportTest, public ::testing::WithParamInterface<RejectedCase>
{
};

TEST_P(RejectedFile, ShowsTheErrorAndKeepsTheTable)
{
    m_folder.writeFile(QString::fromUtf8(GetParam().fileName), GetParam().bytes());

    EXPECT_EQ(importFile(joinPath(m_folder.gbkPath(), GetParam().fileName)).status, Status::FileRejected);

    EXPECT_EQ(people(), m_oldTable);
    EXPECT_EQ(m_prompter.texts(), QStringList{QStringLiteral("Excel 文件有错误！")});
}

INSTANTIATE_TEST_SUITE_P(
    Files, RejectedFile,
    ::testing::Values(RejectedCase{"FirstColumnNamed", "a.xls", [] { return testData("people/wrong-header.xls"); }},
                      RejectedCase{"EmptyWorkbook", "a.xls", [] { return std::string(); }},
                      RejectedCase{"TextWithoutTheHeading", "a.txt", [] { return utf8ToGbk("名字\n张三\n"); }},
                      RejectedCase{"TextInUtf8", "a.txt", [] { return std::string("姓名\n张三\n"); }}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(PeopleImportTest, NameMadeByAFormulaIsReportedAndTheTableKept)
{
    const PeopleImport::Outcome outcome = importFile(copy("formula-names.xls", QStringLiteral("f.xls")));

    EXPECT_EQ(outcome.status, Status::FileRejected);
    EXPECT_FALSE(outcome.namesChanged());
    EXPECT_EQ(people(), m_oldTable);
    ASSERT_EQ(m_prompter.texts().size(), 1);
    EXPECT_TRUE(m_prompter.texts().front().contains(QStringLiteral("第3行的姓名是公式")));
}

TEST_F(PeopleImportTest, DatabaseRefusingANameKeepsTheWholeOldTable)
{
    run("CREATE TRIGGER refuse BEFORE INSERT ON 人员信息表 WHEN NEW.姓名 = '李四' "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END"_gbk);

    const PeopleImport::Outcome outcome = importFile(copy("people.xls", QStringLiteral("p.xls")));

    EXPECT_EQ(outcome.status, Status::TableKept);
    EXPECT_EQ(people(), m_oldTable); // not emptied, and 张三 not half-imported
    ASSERT_EQ(m_prompter.texts().size(), 2);
    EXPECT_TRUE(m_prompter.texts().front().contains(QStringLiteral("refused"))); // the database layer's box
    EXPECT_EQ(m_prompter.texts().back(), QStringLiteral("人员信息表未能更新，原有的人员保持不变。"));
}

TEST_F(PeopleImportTest, CancelledDialogChangesNothing)
{
    EXPECT_EQ(m_import.run().status, Status::Cancelled);
    EXPECT_EQ(people(), m_oldTable);
    EXPECT_TRUE(m_prompter.texts().isEmpty());
}

TEST_F(PeopleImportTest, FailedConversionIsReportedAndTheTableKept)
{
    OfficeConverter silent("/bin/true"); // exits 0 and writes nothing, as a failing soffice does
    PeopleImport import(m_prompter, nullptr, m_table, fakeInitials, silent);
    m_folder.writeFile(QStringLiteral("p.ods"), "not really a spreadsheet");

    EXPECT_EQ(import.importFile(joinPath(m_folder.gbkPath(), "p.ods")).status, Status::FileRejected);

    EXPECT_EQ(people(), m_oldTable);
    ASSERT_EQ(m_prompter.texts().size(), 1);
    EXPECT_TRUE(m_prompter.texts().front().startsWith(QStringLiteral("无法转换该文件：")))
        << m_prompter.texts().front().toStdString();
}

TEST_F(PeopleImportTest, FifoNamedLikeASheetIsNotHandedToLibreOffice)
{
    OfficeConverter hanging("/bin/sleep"); // would wait out the timeout if it were started
    PeopleImport import(m_prompter, nullptr, m_table, fakeInitials, hanging);
    const GbkString path = joinPath(m_folder.gbkPath(), "pipe.xlsx");
    ASSERT_EQ(::mkfifo(toNativePath(path).c_str(), 0600), 0);

    EXPECT_EQ(import.importFile(path).status, Status::FileRejected);
    EXPECT_EQ(m_prompter.texts(), QStringList{QStringLiteral("Excel 文件有错误！")});
}

// The sheet of people-gap.xls as a flat OpenDocument file, for LibreOffice to
// turn into the formats offices save today.
constexpr const char* kFlatSheet = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2"
 office:mimetype="application/vnd.oasis.opendocument.spreadsheet"><office:body><office:spreadsheet>
<table:table table:name="Sheet1">
<table:table-row><table:table-cell office:value-type="string"><text:p>姓名</text:p></table:table-cell></table:table-row>
<table:table-row><table:table-cell office:value-type="string"><text:p>张三</text:p></table:table-cell></table:table-row>
<table:table-row><table:table-cell office:value-type="string"><text:p>李四</text:p></table:table-cell></table:table-row>
<table:table-row><table:table-cell/></table:table-row>
<table:table-row><table:table-cell office:value-type="string"><text:p>王五</text:p></table:table-cell></table:table-row>
</table:table></office:spreadsheet></office:body></office:document>
)";

class SavedToday : public PeopleImportTest, public ::testing::WithParamInterface<const char*>
{
};

TEST_P(SavedToday, IsConvertedAndImportedAsAnXls)
{
    if (!m_converter.isAvailable())
        GTEST_SKIP() << "soffice is not installed: .xlsx and .ods imports are not exercised";
    m_folder.writeFile(QStringLiteral("名单.fods"), kFlatSheet);
    const OfficeConverter::Result made =
        m_converter.convert(joinPath(m_folder.gbkPath(), "名单.fods"_gbk), GetParam(), m_folder.gbkPath());
    ASSERT_TRUE(made.converted) << made.reason;

    EXPECT_EQ(importFile(made.outputPath).status, Status::Replaced);

    EXPECT_EQ(people(), (Rows{{"张三", "ZS"}, {"李四", "LS"}}));
    EXPECT_EQ(m_prompter.texts(), QStringList{QStringLiteral("更新信息2条")});
}

INSTANTIATE_TEST_SUITE_P(Formats, SavedToday, ::testing::Values("xlsx:Calc MS Excel 2007 XML", "ods"),
                         [](const auto& row) { return std::string(row.index == 0 ? "Xlsx" : "Ods"); });

} // namespace
} // namespace regdesk::test
