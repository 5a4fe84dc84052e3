#include "people/PeopleImport.h"

#include "people/SpreadsheetFile.h"
#include "platform/FileSystem.h"
#include "platform/OfficeConverter.h"
#include "platform/Prompter.h"

#include <QTemporaryDir>
#include <algorithm>
#include <cctype>
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
    if (!needsConversion(path))
        return importSheet(path);
    if (!isConvertibleFile(path)) {
        tell(wrongFileText());
        return {Status::FileRejected};
    }
    // A folder of our own: nobody else can plant a file or a link where the .xls appears.
    const QTemporaryDir folder;
    OfficeConverter::Result converted;
    if (folder.isValid()) {
        converted = m_converter.convert(path, "xls:MS Excel 97", fromNativePath(folder.path().toStdString()),
                                        OfficeConverter::kDefaultTimeout, m_whileConverting);
    } else {
        converted.reason = "cannot create a temporary folder";
    }
    if (!converted.converted) {
        tell(QStringLiteral("无法转换该文件：\n") + QString::fromStdString(converted.reason));
        return {Status::FileRejected};
    }
    return importSheet(converted.outputPath);
}

PeopleImport::Outcome PeopleImport::importSheet(const GbkString& path)
{
    SpreadsheetFile sheet(path, kSheetName);
    GbkString heading;
    if (!sheet.readCell(heading, 1, 1) || heading != "姓名"_gbk) {
        tell(wrongFileText());
        return {Status::FileRejected};
    }

    // The whole list is read before the table is touched.
    std::vector<Person> people;
    bool endedAtEmptyCell = false;
    std::vector<GbkString> cells;
    for (int row = 2; row <= sheet.totalRows(); ++row) {
        if (!sheet.readRow(cells, row) || cells.empty() || cells.front().empty()) {
            if (sheet.isFormulaCell(1, row)) {
                tell(QStringLiteral("Excel 文件第%1行的姓名是公式，读不出它的值。\n"
                                    "请先把公式转换为数值再导入；人员信息表未改动。")
                         .arg(row));
                return {Status::FileRejected};
            }
            endedAtEmptyCell = true;
            break;
        }
        people.push_back(Person{cells.front(), m_initials(cells.front())});
    }

    const int imported = static_cast<int>(people.size());
    if (!m_table.replaceAll(people)) {
        tell(QStringLiteral("人员信息表未能更新，原有的人员保持不变。"));
        return {Status::TableKept};
    }
    if (endedAtEmptyCell)
        tell(QStringLiteral("更新信息%1条").arg(imported));
    return {Status::Replaced, imported};
}

} // namespace regdesk
