#include "people/PeopleImport.h"

#include "FakePrompter.h"
#include "TempDeskFolder.h"
#include "TestData.h"
#include "db/AdoDatabase.h"
#include "db/AdoRecordset.h"
#include "db/AuditTrail.h"
#include "db/RegisterStatements.h"
#include "people/NameCompletion.h"
#include "platform/FileSystem.h"
#include "platform/GbkQt.h"
#include "platform/OfficeConverter.h"

#include <QSqlDatabase>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <zlib.h>

namespace regdesk::test {
namespace {

using Rows = std::vector<std::pair<std::string, std::string>>; // UTF-8, for readable failures

// A zip package whose entries are written by generators, deflated as they
// come, so that a part of hundreds of megabytes never stands in memory.
class ZipWriter
{
public:
    using Generator = std::function<void(const std::function<void(std::string_view)>& write)>;

    void add(const std::string& name, const Generator& generate)
    {
        const std::size_t local = m_bytes.size();
        std::string data;
        uLong crc = crc32(0, nullptr, 0);
        std::size_t size = 0;
        z_stream stream{};
        deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        const auto pump = [&](std::string_view chunk, int flush) {
            stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(chunk.data()));
            stream.avail_in = static_cast<uInt>(chunk.size());
            char out[65536];
            do {
                stream.next_out = reinterpret_cast<Bytef*>(out);
                stream.avail_out = sizeof out;
                deflate(&stream, flush);
                data.append(out, sizeof out - stream.avail_out);
            } while (stream.avail_out == 0);
        };
        generate([&](std::string_view chunk) {
            crc = crc32(crc, reinterpret_cast<const Bytef*>(chunk.data()), static_cast<uInt>(chunk.size()));
            size += chunk.size();
            pump(chunk, Z_NO_FLUSH);
        });
        pump({}, Z_FINISH);
        deflateEnd(&stream);
        const auto header = [&](std::string& to, bool central) {
            put(to, central ? 0x02014b50 : 0x04034b50, 4);
            if (central)
                put(to, 20, 2);
            put(to, 20, 2), put(to, 0, 2), put(to, Z_DEFLATED, 2), put(to, 0, 4);
            put(to, crc, 4), put(to, data.size(), 4), put(to, size, 4), put(to, name.size(), 2), put(to, 0, 2);
            if (central)
                put(to, 0, 2), put(to, 0, 2), put(to, 0, 2), put(to, 0, 4), put(to, local, 4);
            to += name;
        };
        header(m_bytes, false);
        m_bytes += data;
        header(m_directory, true);
        ++m_count;
    }
    void add(const std::string& name, const std::string& text)
    {
        add(name, [&](const auto& write) { write(text); });
    }

    std::string bytes() const
    {
        std::string zip = m_bytes + m_directory;
        put(zip, 0x06054b50, 4), put(zip, 0, 4), put(zip, m_count, 2), put(zip, m_count, 2);
        put(zip, m_directory.size(), 4), put(zip, m_bytes.size(), 4), put(zip, 0, 2);
        return zip;
    }

private:
    static void put(std::string& to, std::uint64_t value, int width)
    {
        for (int i = 0; i < width; ++i)
            to += static_cast<char>(value >> (8 * i) & 0xFF);
    }

    std::string m_bytes, m_directory;
    int m_count = 0;
};

// An .xlsx of one sheet whose rows come from `rows` (the sheet's XML inside <sheetData>).
std::string xlsx(const std::string& sheetName, const ZipWriter::Generator& rows)
{
    ZipWriter zip;
    zip.add(
        "[Content_Types].xml",
        R"(<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
        R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
        R"(<Default Extension="xml" ContentType="application/xml"/>)"
        R"(<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>)"
        R"(<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/></Types>)");
    zip.add(
        "_rels/.rels",
        R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>)");
    zip.add("xl/workbook.xml",
            R"(<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
            R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name=")" +
                sheetName + R"(" sheetId="1" r:id="rId1"/></sheets></workbook>)");
    zip.add(
        "xl/_rels/workbook.xml.rels",
        R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/></Relationships>)");
    zip.add("xl/worksheets/sheet1.xml", [&](const auto& write) {
        write(
            R"(<?xml version="1.0"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)");
        rows(write);
        write("</sheetData></worksheet>");
    });
    return zip.bytes();
}

std::string inlineRow(int row, const std::string& text)
{
    const std::string r = std::to_string(row);
    return "<row r=\"" + r + "\"><c r=\"A" + r + "\" t=\"inlineStr\"><is><t>" + text + "</t></is></c></row>";
}
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
    SqlPeopleTable m_table;
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

TEST_F(PeopleImportTest, EveryPersonReplacedIsKeptInTheTrail)
{
    run(RegisterStatements::insertPerson("王五"_gbk, "WW"));
    ASSERT_EQ(importFile(copy("people.xls", QStringLiteral("p.xls"))).status, Status::Replaced);
    QStringList kept;
    AuditTrail(QSqlDatabase::database(m_database.connection()->name(), false))
        .forEach({}, [&](const AuditTrail::Entry& entry) {
            EXPECT_EQ(entry.action, QStringLiteral("导入人员"));
            EXPECT_EQ(entry.table, QStringLiteral("人员信息表"));
            kept << entry.before;
        });
    kept.sort();
    EXPECT_EQ(kept, (QStringList{QStringLiteral("[[\"姓名\",\"旧人\"],[\"简称\",\"JR\"]]"),
                                 QStringLiteral("[[\"姓名\",\"王五\"],[\"简称\",\"WW\"]]")}));
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
    m_folder.writeFile(QStringLiteral("p.xlsx"),
                       xlsx("Sheet1", [](const auto& write) { write(inlineRow(1, "姓名")); }));

    EXPECT_EQ(import.importFile(joinPath(m_folder.gbkPath(), "p.xlsx")).status, Status::FileRejected);

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

TEST_P(SavedToday, IsConvertedAndImported)
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

// LibreOffice renames a sheet "sheet1" of an .xlsx as it loads it ("sheet1 -1"):
// the sheet is found by the name the file gives it, behind a sheet in front.
class SheetNamedInAnXlsx : public PeopleImportTest, public ::testing::WithParamInterface<const char*>
{
};

TEST_P(SheetNamedInAnXlsx, IsFoundAndImported)
{
    if (!m_converter.isAvailable())
        GTEST_SKIP() << "soffice is not installed";
    std::string sheet = kFlatSheet;
    const std::string opening = "<table:table table:name=\"Sheet1\">";
    sheet.replace(sheet.find(opening), opening.size(),
                  "<table:table table:name=\"封面\"><table:table-row><table:table-cell office:value-type=\"string\">"
                  "<text:p>名单</text:p></table:table-cell></table:table-row></table:table><table:table table:name=\"" +
                      std::string(GetParam()) + "\">");
    m_folder.writeFile(QStringLiteral("名单.fods"), sheet);
    const OfficeConverter::Result made = m_converter.convert(joinPath(m_folder.gbkPath(), "名单.fods"_gbk),
                                                             "xlsx:Calc MS Excel 2007 XML", m_folder.gbkPath());
    ASSERT_TRUE(made.converted) << made.reason;

    const PeopleImport::Outcome outcome = importFile(made.outputPath);

    EXPECT_EQ(outcome.status, Status::Replaced);
    EXPECT_EQ(people(), (Rows{{"张三", "ZS"}, {"李四", "LS"}}));
    EXPECT_EQ(m_prompter.texts(), QStringList{QStringLiteral("更新信息2条")});
}

INSTANTIATE_TEST_SUITE_P(Names, SheetNamedInAnXlsx, ::testing::Values("sheet1", "Sheet1"),
                         [](const auto& row) { return std::string(row.index == 0 ? "LowerCase" : "AsExcelNamesIt"); });

INSTANTIATE_TEST_SUITE_P(Formats, SavedToday, ::testing::Values("xlsx:Calc MS Excel 2007 XML", "ods"),
                         [](const auto& row) { return std::string(row.index == 0 ? "Xlsx" : "Ods"); });

// 200,000 names of 2,000 characters pack into a few megabytes: the package is
// refused by what it unpacks to, before LibreOffice is started.
TEST_F(PeopleImportTest, WorkbookUnpackingPastTheBoundIsRefusedUnconverted)
{
    OfficeConverter failing("/bin/false"); // a conversion would be reported as failed
    PeopleImport import(m_prompter, nullptr, m_table, fakeInitials, failing);
    const std::string name(2000, 'x');
    m_folder.writeFile(QStringLiteral("bomb.xlsx"), xlsx("sheet1", [&](const auto& write) {
                           write(inlineRow(1, "姓名"));
                           for (int row = 2; row <= 200001; ++row)
                               write(inlineRow(row, name));
                       }));

    EXPECT_EQ(import.importFile(joinPath(m_folder.gbkPath(), "bomb.xlsx")).status, Status::FileRejected);

    EXPECT_EQ(people(), m_oldTable);
    EXPECT_EQ(m_prompter.texts(),
              QStringList{QStringLiteral("Excel 文件过大（超过32 MB），不像是人员名单；人员信息表未改动。")});
}

GbkString repeated(const GbkString& text, int times)
{
    GbkString result;
    for (int i = 0; i < times; ++i)
        result += text;
    return result;
}

TEST_F(PeopleImportTest, NameLongerThanAPersonsIsRefusedWithItsRow)
{
    const struct
    {
        const char* what;
        GbkString name;
        bool accepted;
    } cases[] = {
        {"fifty characters", repeated("张"_gbk, 50), true},
        {"fifty-one", repeated("张"_gbk, 51), false},
        {"sixty megabytes", GbkString(60'000'000, 'x'), false},
    };
    for (const auto& [what, name, accepted] : cases) {
        SCOPED_TRACE(what);
        m_prompter.clear();
        const Rows before = people();
        m_folder.writeFile(QStringLiteral("names.txt"), utf8ToGbk("姓名\r\n张三\r\n") + name + "\r\n");

        const PeopleImport::Outcome outcome = importFile(joinPath(m_folder.gbkPath(), "names.txt"));

        EXPECT_EQ(outcome.status, accepted ? Status::Replaced : Status::FileRejected);
        if (accepted)
            EXPECT_EQ(people().size(), 2u);
        else
            EXPECT_EQ(people(), before);
        if (!accepted) {
            ASSERT_EQ(m_prompter.texts().size(), 1);
            EXPECT_TRUE(m_prompter.texts().front().startsWith(QStringLiteral("Excel 文件第3行的姓名超过50个字符")))
                << m_prompter.texts().front().toStdString();
        }
    }
}

TEST_F(PeopleImportTest, WorkbookWithoutSheet1NamesItsSheets)
{
    m_folder.writeFile(QStringLiteral("p.xlsx"), xlsx("名单", [](const auto& write) { write(inlineRow(1, "姓名")); }));

    const PeopleImport::Outcome outcome = importFile(joinPath(m_folder.gbkPath(), "p.xlsx"));

    EXPECT_EQ(outcome.status, Status::FileRejected);
    EXPECT_EQ(outcome.sheetNames, std::vector<std::string>{"名单"});
    EXPECT_EQ(m_prompter.texts(), QStringList{QStringLiteral("Excel 文件有错误！")});
    EXPECT_EQ(people(), m_oldTable);
}

// An .xls keeps 65,536 rows; a workbook of more names loses none on the way.
TEST_F(PeopleImportTest, SeventyThousandNamesOfAnXlsxAllArrive)
{
    if (!m_converter.isAvailable())
        GTEST_SKIP() << "soffice is not installed";
    m_folder.writeFile(QStringLiteral("many.xlsx"), xlsx("Sheet1", [](const auto& write) {
                           write(inlineRow(1, "姓名"));
                           for (int row = 2; row <= 70001; ++row)
                               write(inlineRow(row, "人" + std::to_string(row - 1)));
                       }));

    const PeopleImport::Outcome outcome = importFile(joinPath(m_folder.gbkPath(), "many.xlsx"));

    EXPECT_EQ(outcome.status, Status::Replaced);
    EXPECT_EQ(outcome.imported, 70000);
    const Rows table = people();
    ASSERT_EQ(table.size(), 70000u);
    EXPECT_EQ(table.front().first, "人1");
    EXPECT_EQ(table.back().first, "人70000");
    EXPECT_TRUE(m_prompter.texts().isEmpty());
}

} // namespace
} // namespace regdesk::test
