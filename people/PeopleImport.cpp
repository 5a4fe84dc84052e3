#include "people/PeopleImport.h"

#include "people/OfficePackage.h"
#include "people/SpreadsheetFile.h"
#include "platform/FileSystem.h"
#include "platform/OfficeConverter.h"
#include "platform/Prompter.h"

#include <QTemporaryDir>
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>
#include <sys/stat.h>

namespace regdesk {
namespace {

bool endsWithIgnoringCase(const GbkString& text, std::string_view suffix)
{
    if (text.size() < suffix.size())
        return false;
    return std::equal(
        suffix.begin(), suffix.end(), text.end() - static_cast<std::ptrdiff_t>(suffix.size()), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        });
}

// Sheets offices save today; LibreOffice turns them into .xls first.
bool needsConversion(const GbkString& path)
{
    return endsWithIgnoringCase(path, ".xlsx") || endsWithIgnoringCase(path, ".ods");
}

// LibreOffice would wait forever on a FIFO and unpack whatever it is given.
bool isConvertibleFile(const GbkString& path)
{
    struct stat info
    {
    };
    return ::stat(toNativePath(path).c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           static_cast<std::uintmax_t>(info.st_size) <= SpreadsheetFile::kMaxFileBytes;
}

QString wrongFileText()
{
    return QStringLiteral("Excel 文件有错误！");
}

QString tooLargeText(std::size_t bytes)
{
    return QStringLiteral("Excel 文件过大（超过%1 MB），不像是人员名单；人员信息表未改动。")
        .arg(static_cast<qulonglong>(bytes / (1024 * 1024)));
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && endsWithIgnoringCase(GbkString(a), b);
}

// The GBK characters of `text`, counted up to one past `limit` at most.
int characterCount(const GbkString& text, int limit)
{
    int count = 0;
    for (std::size_t at = 0; at < text.size() && count <= limit; at += gbkCharLength(text, at))
        ++count;
    return count;
}

} // namespace

PeopleImport::PeopleImport(Prompter& prompter, QWidget* owner, PeopleTable& table, InitialsFunction initials,
                           OfficeConverter& converter)
    : m_prompter(prompter), m_owner(owner), m_table(table), m_initials(std::move(initials)), m_converter(converter)
{}

QString PeopleImport::fileFilter()
{
    return QStringLiteral("EXCEL Files (*.xls *.xlsx *.ods)");
}

void PeopleImport::tell(const QString& text)
{
    m_prompter.inform(m_owner, text);
}

PeopleImport::Outcome PeopleImport::run()
{
    const QString chosen = m_prompter.openFileName(m_owner, QString(), QString(), fileFilter());
    if (chosen.isEmpty())
        return {};
    return importFile(fromNativePath(chosen.toStdString()));
}

PeopleImport::Outcome PeopleImport::importFile(const GbkString& path)
{
    Reading reading;
    // Left as it is when the work ends by an exception the runner caught (out of memory).
    reading.refusal = QStringLiteral("人员名单未能读完，人员信息表未改动。");
    const auto work = [&] { reading = readPeople(path); };
    if (m_runner)
        m_runner(work);
    else
        work();
    if (!reading.refusal.isEmpty()) {
        tell(reading.refusal);
        return {Status::FileRejected, 0, reading.sheetNames};
    }
    const int imported = static_cast<int>(reading.people.size());
    if (!m_table.replaceAll(reading.people)) {
        tell(QStringLiteral("人员信息表未能更新，原有的人员保持不变。"));
        return {Status::TableKept, 0, {}};
    }
    if (reading.endedAtEmptyCell)
        tell(QStringLiteral("更新信息%1条").arg(imported));
    return {Status::Replaced, imported, {}};
}

PeopleImport::Reading PeopleImport::readPeople(const GbkString& path) const
{
    Reading reading;
    if (!needsConversion(path)) {
        SpreadsheetFile sheet(path, kSheetName);
        return readSheet(sheet, false);
    }
    std::optional<std::string> bytes;
    if (isConvertibleFile(path))
        bytes = readWholeFile(path);
    if (!bytes || bytes->size() > SpreadsheetFile::kMaxFileBytes) {
        reading.refusal = wrongFileText();
        return reading;
    }
    // The sheet is chosen by the names the file gives: LibreOffice renames a
    // sheet "sheet1" of an .xlsx as it loads it.
    const OfficePackage package = OfficePackage::read(*bytes, kMaxUnpackedBytes);
    bytes.reset();
    reading.sheetNames = package.sheetNames;
    if (package.problem == OfficePackage::Problem::TooLarge) {
        reading.refusal = tooLargeText(kMaxUnpackedBytes);
        return reading;
    }
    const auto found = std::find_if(package.sheetNames.begin(), package.sheetNames.end(),
                                    [](const std::string& name) { return equalsIgnoringCase(name, kSheetName); });
    if (package.problem != OfficePackage::Problem::None || found == package.sheetNames.end()) {
        reading.refusal = wrongFileText();
        return reading;
    }
    // A folder of our own: nobody else can plant a file or a link where the output appears.
    const QTemporaryDir folder;
    OfficeConverter::Result converted;
    if (folder.isValid())
        converted = m_converter.convert(path, "fods", fromNativePath(folder.path().toStdString()));
    else
        converted.reason = "cannot create a temporary folder";
    if (!converted.converted) {
        reading.refusal = QStringLiteral("无法转换该文件：\n") + QString::fromStdString(converted.reason);
        return reading;
    }
    SpreadsheetFile sheet(
        SpreadsheetFile::ConvertedSheet{converted.outputPath, static_cast<int>(found - package.sheetNames.begin())});
    Reading read = readSheet(sheet, true);
    read.sheetNames = package.sheetNames;
    return read;
}

PeopleImport::Reading PeopleImport::readSheet(SpreadsheetFile& sheet, bool converted) const
{
    Reading reading;
    reading.sheetNames = sheet.sheetNames();
    if (sheet.tooLarge()) {
        reading.refusal = tooLargeText(SpreadsheetFile::kMaxTextBytes);
        return reading;
    }
    GbkString heading;
    if (!sheet.readCell(heading, 1, 1) || heading != "姓名"_gbk) {
        reading.refusal = wrongFileText();
        return reading;
    }

    // The whole list is read before the table is touched.
    std::vector<GbkString> cells;
    const int total = sheet.totalRows();
    for (int row = 2; row <= total; ++row) {
        if (m_progress)
            m_progress(row - 1, total - 1);
        if (!sheet.readRow(cells, row) || cells.empty() || cells.front().empty()) {
            if (sheet.isFormulaCell(1, row)) {
                reading.refusal = QStringLiteral("Excel 文件第%1行的姓名是公式，读不出它的值。\n"
                                                 "请先把公式转换为数值再导入；人员信息表未改动。")
                                      .arg(row);
                return reading;
            }
            reading.endedAtEmptyCell = true;
            break;
        }
        const int characters = characterCount(cells.front(), kMaxNameCharacters);
        if (characters > kMaxNameCharacters) {
            reading.refusal = QStringLiteral("Excel 文件第%1行的姓名超过%2个字符，不像是人名。\n"
                                             "请改正后再导入；人员信息表未改动。")
                                  .arg(row)
                                  .arg(kMaxNameCharacters);
            return reading;
        }
        reading.people.push_back(Person{cells.front(), m_initials(cells.front())});
    }
    // A workbook LibreOffice loaded to its last row may have had more.
    if (converted && !reading.endedAtEmptyCell &&
        static_cast<std::uint32_t>(total) >= SpreadsheetFile::kMaxOfficeRows) {
        reading.refusal = QStringLiteral("Excel 文件的姓名超过%1行，不能全部读入；人员信息表未改动。")
                              .arg(SpreadsheetFile::kMaxOfficeRows - 1);
        reading.people.clear();
    }
    return reading;
}

} // namespace regdesk
