#include "app/AdminCommands.h"

#include "RegdeskVersion.h"
#include "app/IntakeCommand.h"
#include "app/PictureVerify.h"
#include "db/AdoDatabase.h"
#include "db/DatabaseSettings.h"
#include "db/PrivateConnection.h"
#include "db/RegisterCopy.h"
#include "db/RegisterDatabaseFile.h"
#include "db/RegisterMaintenance.h"
#include "db/RegisterStatements.h"
#include "db/SearchIndex.h"
#include "db/ServerAddress.h"
#include "people/PeopleImport.h"
#include "people/PinyinIndex.h"
#include "platform/DiagnosticsLog.h"
#include "platform/FileSystem.h"
#include "platform/GbkQt.h"
#include "platform/OfficeConverter.h"
#include "platform/Prompter.h"
#include "settings/SettingsFile.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <set>
#include <utility>

namespace regdesk {
namespace {

constexpr const char* kUsage =
    "usage: regdesk-admin init DIR | regdesk-admin settings DIR | regdesk-admin initials TEXT "
    "| regdesk-admin import-people DIR FILE | regdesk-admin compact DIR "
    "| regdesk-admin backup DIR | regdesk-admin copy [--append] DIR | regdesk-admin index DIR\n"
    "| regdesk-admin verify FILE... [--payload TEXTFILE] | regdesk-admin intake DIR FILE...|FOLDER\n"
    "Try 'regdesk-admin --help' for more.\n";

// One command of the help: the synopsis, then what it does (lines indented by the printer).
struct CommandHelp
{
    const char* name;
    const char* synopsis;
    const char* text;
};

const std::vector<CommandHelp>& commandHelp()
{
    static const std::vector<CommandHelp> commands = {
        {"init", "init DIR",
         "Create an empty register in the desk folder DIR: data.db, or the registers in the\n"
         "PostgreSQL database that DIR/document.ini names. An existing register is never\n"
         "overwritten."},
        {"settings", "settings DIR",
         "Show how the desk reads DIR/document.ini (printed in UTF-8), which database it\n"
         "would use, and warnings for keys and sections it would not read as meant."},
        {"initials", "initials TEXT", "Print the pinyin initials of a UTF-8 text."},
        {"import-people", "import-people DIR FILE",
         "Replace the personnel table of DIR's register by the names of the sheet FILE\n"
         "(.xls; .xlsx and .ods through LibreOffice Calc)."},
        {"compact", "compact DIR", "Compact DIR/data.db in place."},
        {"backup", "backup DIR", "Write a dated backup of DIR/data.db, then delete the older backups."},
        {"index", "index DIR",
         "Build the fuzzy search's index of DIR/data.db ahead of the first search, in\n"
         "slices that leave the desks working."},
        {"copy", "copy [--append] DIR",
         "Copy DIR/data.db into the PostgreSQL register that DIR/document.ini names, in one\n"
         "transaction, and print the counts of both sides. --append adds to a register that\n"
         "already holds registrations."},
        {"verify", "verify FILE... [--payload TEXTFILE]",
         "Decode the PDF417 barcode of each picture (EMF, WMF, BMP, PNG, JPEG) and print its\n"
         "text (UTF-8) and its 13 fields; with --payload, compare each with the bytes of\n"
         "TEXTFILE. Exit status 0 when every picture decodes (and matches)."},
        {"intake", "intake DIR FILE...|FOLDER",
         "Register the barcode of each PDF or picture file (PNG, JPEG, TIFF, BMP; a FOLDER\n"
         "stands for its files) into DIR's 收文登记表, as a scan and 保存 of the form would.\n"
         "A number registered already is skipped and listed, never replaced; so is a file\n"
         "without a barcode. Prints a summary; exit status 1 when a file could not be read."},
        {"help", "help [COMMAND]", "Show this help, or the help of one command."},
    };
    return commands;
}

std::string indented(const char* text)
{
    std::string out = "      ";
    for (const char* c = text; *c; ++c) {
        out += *c;
        if (*c == '\n')
            out += "      ";
    }
    return out + "\n";
}

std::string fullHelp()
{
    std::string out = "Usage: regdesk-admin COMMAND [ARGUMENT...]\n"
                      "The command-line companion of the Regdesk registration desk: prepares a desk\n"
                      "folder's register and explains its settings. DIR is a desk folder (the folder\n"
                      "that holds document.ini and data.db).\n\n"
                      "Commands:\n";
    for (const CommandHelp& command : commandHelp())
        out += "  " + std::string(command.synopsis) + "\n" + indented(command.text);
    out += "\nOptions:\n"
           "  --help     show this help and exit\n"
           "  --version  show the version and exit\n\n"
           "Exit status: 0 done, 1 the command failed (the reason is on standard error),\n"
           "64 wrong usage.\n";
    return out;
}

AdminResult helpCommand(const std::vector<std::string>& arguments)
{
    AdminResult result;
    if (arguments.size() == 1) {
        result.output = fullHelp();
        return result;
    }
    for (const CommandHelp& command : commandHelp()) {
        if (arguments.size() == 2 && arguments[1] == command.name) {
            result.output = "Usage: regdesk-admin " + std::string(command.synopsis) + "\n" + indented(command.text);
            return result;
        }
    }
    result.exitCode = 64;
    result.errors =
        "regdesk-admin: no such command: " + (arguments.size() > 1 ? arguments[1] : std::string()) + "\n" + kUsage;
    return result;
}

// The keys the desk reads by name, section by section.
const std::vector<std::pair<const char*, const char*>>& knownKeys()
{
    static const std::vector<std::pair<const char*, const char*>> keys = {
        {"发文设置", "制码单位"},
        {"发文设置", "发文单位"},
        {"发文设置", "标题"},
        {"发文设置", "二维码输出位置"},
        {"发文设置", "制码号固定标识"},
        {"发文设置", "制码号固定位数"},
        {"发文设置", "制码号年度位数"},
        {"发文设置", "制码号流水位数"},
        {"发文设置", "条码自检"},
        {"PDF", "Width"},
        {"PDF", "Height"},
        {"自定义排序", "密级优先"},
        {"自定义排序", "每页行数"},
        {"数据库", "类型"},
        {"数据库", "主机"},
        {"数据库", "端口"},
        {"数据库", "库名"},
        {"数据库", "用户"},
    };
    return keys;
}

const std::set<std::string>& listSections()
{
    static const std::set<std::string> sections = {"发文型式", "主送单位", "发文种类", "PDF"};
    return sections;
}

std::string withoutBlanks(std::string text)
{
    std::erase_if(text, [](char c) { return c == ' ' || c == '\t'; });
    // The full-width blank (GBK A1A1) is a blank to a reader too.
    for (std::size_t at = text.find("\xA1\xA1"); at != std::string::npos; at = text.find("\xA1\xA1"))
        text.erase(at, 2);
    return text;
}

// Lines of the raw file with the section each stands in (for the warnings).
struct RawLine
{
    std::string section;
    std::string text;
    bool isHeader = false;
};

std::vector<RawLine> rawLines(const std::string& data)
{
    std::vector<RawLine> lines;
    std::string section;
    std::size_t start = 0;
    while (start < data.size()) {
        std::size_t end = data.find('\n', start);
        if (end == std::string::npos)
            end = data.size();
        std::string text = data.substr(start, end - start);
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        RawLine line{section, text, !text.empty() && text.front() == '['};
        if (line.isHeader) {
            const std::size_t close = text.find_first_of("]\t;");
            section = text.substr(1, close == std::string::npos ? std::string::npos : close - 1);
            line.section = section;
        }
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::string utf8(const GbkString& gbk)
{
    return gbkToUtf8(gbk);
}

AdminResult noFolder(const std::string& directory)
{
    AdminResult result;
    result.exitCode = 2;
    result.errors = "regdesk-admin: no such folder: " + directory + "\n";
    return result;
}

DatabaseSettings settingsOf(const std::string& directory)
{
    return DatabaseSettings::ofDirectory(fromNativePath(directory));
}

std::string unknownTypeError(const DatabaseSettings& settings)
{
    return "regdesk-admin: [数据库] 类型=" + utf8(settings.type) +
           " is neither PostgreSQL nor SQLite; the desk opens no database\n";
}

AdminResult initServerCommand(const ServerAddress& address)
{
    AdminResult result;
    const std::string where = address.describe().toStdString();
    QString failure;
    {
        const PrivateConnection server(address);
        failure = server.error();
        if (failure.isEmpty())
            failure = createServerRegister(server.database());
    }
    if (!failure.isEmpty()) {
        result.exitCode = failure.contains(QStringLiteral("already holds")) ? 3 : 4;
        result.errors = "regdesk-admin: cannot create the registers in " + where + ": " + failure.toStdString() + "\n";
        return result;
    }
    result.output = "created the registers in " + where + "\n";
    return result;
}

AdminResult initCommand(const std::string& directory)
{
    AdminResult result;
    const QString folder = QString::fromUtf8(directory);
    if (!QFileInfo(folder).isDir())
        return noFolder(directory);
    const DatabaseSettings settings = settingsOf(directory);
    if (settings.kind == DatabaseSettings::Kind::PostgreSql)
        return initServerCommand(ServerAddress::fromSettings(settings));
    if (settings.kind == DatabaseSettings::Kind::Unknown) {
        result.exitCode = 4;
        result.errors = unknownTypeError(settings);
        return result;
    }
    const QString path = QDir(folder).filePath(QString::fromUtf8(AdoDatabase::kDatabaseFileName));
    // A link counts as a file, also when it leads nowhere: it is never followed.
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink()) {
        result.exitCode = 3;
        result.errors = "regdesk-admin: " + path.toStdString() + " already exists; it is left untouched\n";
        return result;
    }
    const QString failure = createRegisterDatabase(path);
    if (!failure.isEmpty()) {
        result.exitCode = 4;
        result.errors = "regdesk-admin: cannot create " + path.toStdString() + ": " + failure.toStdString() + "\n";
        return result;
    }
    result.output = "created " + path.toStdString() + "\n";
    return result;
}

AdminResult settingsCommand(const std::string& directory)
{
    AdminResult result;
    if (!QFileInfo(QString::fromUtf8(directory)).isDir()) {
        result.exitCode = 2;
        result.errors = "regdesk-admin: no such folder: " + directory + "\n";
        return result;
    }
    const std::string path = directory + "/document.ini";
    if (!QFileInfo::exists(QString::fromUtf8(path)))
        result.errors = "regdesk-admin: " + path + " does not exist; the desk reads it as an empty file\n";
    else if (!readRegularFile(fromNativePath(path), SettingsFile::kMaxFileBytes))
        result.errors = "regdesk-admin: " + path +
                        " is not a readable regular file of at most 1 MiB; the desk reads it as an empty file\n";
    result.output = describeSettings(path);
    const DatabaseSettings database = settingsOf(directory);
    switch (database.kind) {
    case DatabaseSettings::Kind::DataFile:
        result.output += "database: SQLite " +
                         QDir(QString::fromUtf8(directory))
                             .filePath(QString::fromUtf8(AdoDatabase::kDatabaseFileName))
                             .toStdString() +
                         "\n";
        break;
    case DatabaseSettings::Kind::PostgreSql:
        result.output += "database: PostgreSQL " + ServerAddress::fromSettings(database).describe().toStdString() +
                         "; the password comes from ~/.pgpass, PGPASSFILE or a service file\n";
        break;
    case DatabaseSettings::Kind::Unknown:
        result.output += "database: none\nwarning: [数据库] 类型=" + utf8(database.type) +
                         " is neither PostgreSQL nor SQLite: the desk opens no database and reports "
                         "连接服务器失败，请重新配置！\n";
        break;
    }
    return result;
}

// The initials the personnel import stores for a name, for whoever keeps the sheet.
AdminResult initialsCommand(const std::string& utf8Text)
{
    AdminResult result;
    result.output = PinyinIndex::initials(utf8ToGbk(utf8Text)) + "\n";
    return result;
}

// The boxes of the database layer and of the import, collected as lines of text.
class CollectingPrompter final : public Prompter
{
public:
    Answer ask(QWidget*, const Message& message) override
    {
        lines += message.text.toStdString() + "\n";
        return message.defaultAnswer;
    }
    int closeMessages(const QString&) override { return 0; }
    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }

    std::string lines;
};

// The personnel import of the form (更新人员表), from the command line.
AdminResult importPeopleCommand(const std::string& directory, const std::string& file)
{
    AdminResult result;
    if (!QFileInfo(QString::fromUtf8(directory)).isDir()) {
        result.exitCode = 2;
        result.errors = "regdesk-admin: no such folder: " + directory + "\n";
        return result;
    }
    CollectingPrompter prompter;
    AdoDatabase database(prompter);
    if (!database.openConnection(AdoDatabase::connectionStringFor(fromNativePath(directory)))) {
        result.exitCode = 4;
        result.errors = "regdesk-admin: cannot open the register database: " + prompter.lines;
        return result;
    }
    AdoDatabase::setActiveConnection(database.connection());
    SqlPeopleTable table;
    OfficeConverter converter;
    PeopleImport import(prompter, nullptr, table, &PinyinIndex::initials, converter);
    const PeopleImport::Outcome outcome = import.importFile(fromNativePath(file));
    AdoDatabase::setActiveConnection(nullptr);
    if (outcome.status != PeopleImport::Status::Replaced) {
        result.exitCode = 1;
        result.errors = prompter.lines;
        if (!outcome.sheetNames.empty()) {
            result.errors += "regdesk-admin: the workbook's sheets:";
            for (const std::string& name : outcome.sheetNames)
                result.errors += " \"" + name + "\"";
            result.errors += std::string(" (the names are read from \"") + PeopleImport::kSheetName + "\", any case)\n";
        }
        result.errors += "regdesk-admin: 人员信息表 is unchanged\n";
        return result;
    }
    result.output = prompter.lines + "人员信息表 now holds " + std::to_string(outcome.imported) + " names\n";
    return result;
}

// compact and backup: what the form's 压缩库 and 备份库 do, for a scheduled job.
// The maintenance of the register a desk folder uses; none, with the error
// in `result`, when the folder or its register type is wrong.
std::unique_ptr<RegisterMaintenance> maintenanceOf(const std::string& directory, AdminResult& result)
{
    if (!QFileInfo(QString::fromUtf8(directory)).isDir()) {
        result = noFolder(directory);
        return nullptr;
    }
    std::unique_ptr<RegisterMaintenance> maintenance = RegisterMaintenance::forDirectory(QString::fromUtf8(directory));
    if (!maintenance) {
        result.exitCode = 4;
        result.errors = unknownTypeError(settingsOf(directory));
    }
    return maintenance;
}

AdminResult compactCommand(const std::string& directory)
{
    AdminResult result;
    const std::unique_ptr<RegisterMaintenance> maintenance = maintenanceOf(directory, result);
    if (!maintenance)
        return result;
    const QString failure = maintenance->compact();
    if (!failure.isEmpty()) {
        result.exitCode = 4;
        result.errors = "regdesk-admin: " + maintenance->registerName().toStdString() +
                        " was not compacted and is unchanged: " + failure.toStdString() + "\n";
        return result;
    }
    result.output = "compacted " + maintenance->registerName().toStdString() + "\n";
    return result;
}

AdminResult backupCommand(const std::string& directory)
{
    AdminResult result;
    const std::unique_ptr<RegisterMaintenance> maintenance = maintenanceOf(directory, result);
    if (!maintenance)
        return result;
    const RegisterMaintenance::BackupResult backup = maintenance->backUp(QDateTime::currentDateTime());
    if (!backup.failure.isEmpty()) {
        result.exitCode = 4;
        result.errors =
            "regdesk-admin: no backup was made; the older backups are kept: " + backup.failure.toStdString() + "\n";
        return result;
    }
    result.output = "backed up to " + backup.writtenPath.toStdString() + "\n";
    for (const QString& name : backup.undeletable) {
        result.exitCode = 5;
        result.errors += "regdesk-admin: cannot delete the older backup " + name.toStdString() + "\n";
    }
    return result;
}

// Builds the fuzzy search's helper index of data.db ahead of the first
// search (after an upgrade), in the same committed slices the desk uses, so
// that desks may go on working meanwhile.
AdminResult indexCommand(const std::string& directory)
{
    AdminResult result;
    if (!QFileInfo(QString::fromUtf8(directory)).isDir())
        return noFolder(directory);
    const DatabaseSettings settings = settingsOf(directory);
    if (settings.kind == DatabaseSettings::Kind::PostgreSql) {
        result.output = "the PostgreSQL register keeps its search index itself; nothing to build\n";
        return result;
    }
    if (settings.kind == DatabaseSettings::Kind::Unknown) {
        result.exitCode = 4;
        result.errors = unknownTypeError(settings);
        return result;
    }
    const QString path = QDir(QString::fromUtf8(directory)).filePath(QString::fromUtf8(AdoDatabase::kDatabaseFileName));
    {
        const PrivateConnection connection(path, RegisterFileMode::ReadWrite);
        const QSqlDatabase database = connection.database();
        if (!connection.isOpen()) {
            result.exitCode = 4;
            result.errors =
                "regdesk-admin: cannot open " + path.toStdString() + ": " + connection.error().toStdString() + "\n";
        }
        for (const GbkString& gbkTable : {RegisterStatements::outgoingTable(), RegisterStatements::incomingTable()}) {
            if (result.exitCode != 0)
                break;
            const QString table = toQString(gbkTable);
            if (SearchIndex::state(database, table) == SearchIndex::State::InStep) {
                result.output += table.toStdString() + ": the search index is complete\n";
                continue;
            }
            QElapsedTimer timer;
            timer.start();
            qint64 records = 0;
            const QString failure =
                SearchIndex::install(database, table, [&](qint64, qint64 total) { records = total; });
            if (!failure.isEmpty()) {
                result.exitCode = 4;
                result.errors = "regdesk-admin: the search index of " + table.toStdString() +
                                " is not complete (the next run or search goes on with it): " + failure.toStdString() +
                                "\n";
                break;
            }
            result.output += table.toStdString() + ": built the search index of " + std::to_string(records) +
                             " records in " + QString::number(timer.elapsed() / 1000.0, 'f', 1).toStdString() + " s\n";
        }
    }
    return result;
}

std::string countLine(const TableCount& count)
{
    std::string line = std::to_string(count.records) + " records";
    if (count.table != QStringLiteral("人员信息表"))
        line += " (" + std::to_string(count.attachments) + " with attachments, " +
                std::to_string(count.attachmentBytes) + " bytes)";
    return line;
}

// Moving an office's data.db onto the server its desks are to share.
AdminResult copyCommand(const std::string& directory, bool append)
{
    AdminResult result;
    if (!QFileInfo(QString::fromUtf8(directory)).isDir())
        return noFolder(directory);
    const DatabaseSettings settings = settingsOf(directory);
    if (settings.kind != DatabaseSettings::Kind::PostgreSql) {
        result.exitCode = 4;
        result.errors =
            "regdesk-admin: " + directory +
            "/document.ini names no PostgreSQL database ([数据库] with 类型=PostgreSQL); nothing to copy into\n";
        return result;
    }
    const QString sourcePath =
        QDir(QString::fromUtf8(directory)).filePath(QString::fromUtf8(AdoDatabase::kDatabaseFileName));
    const ServerAddress address = ServerAddress::fromSettings(settings);
    RegisterCopyReport report;
    {
        // Read only, and never a new empty file in place of a missing one.
        const PrivateConnection sourceConnection(sourcePath, RegisterFileMode::ReadOnly);
        const QSqlDatabase source = sourceConnection.database();
        const PrivateConnection server(address);
        if (!sourceConnection.isOpen()) {
            report.failure = sourcePath + QStringLiteral("：") + sourceConnection.error();
        } else if (!server.error().isEmpty()) {
            report.failure = server.error();
        } else {
            // A server database without the registers gets them first.
            const QString created = createServerRegister(server.database());
            if (!created.isEmpty() && !created.contains(QStringLiteral("already holds")))
                report.failure = created;
            else
                report = copyRegister(source, server.database(), append);
        }
    }
    const std::string where = address.describe().toStdString();
    if (!report.failure.isEmpty()) {
        result.exitCode = report.refusedNotEmpty ? 3 : 4;
        result.errors =
            "regdesk-admin: nothing was copied into " + where + ": " + report.failure.toStdString() +
            (report.refusedNotEmpty ? " Give --append to add " + sourcePath.toStdString() + " to it." : "") + "\n";
        return result;
    }
    result.output = "copied " + sourcePath.toStdString() + " into " + where + "\n";
    for (std::size_t i = 0; i < report.source.size(); ++i) {
        result.output += report.source[i].table.toStdString() + ": read " + countLine(report.source[i]) + "; wrote " +
                         std::to_string(report.written[i]) + "; the server had " + countLine(report.before[i]) +
                         " and now has " + countLine(report.after[i]) + "\n";
    }
    return result;
}

} // namespace

std::string describeSettings(const std::string& settingsPath)
{
    const GbkString path = fromNativePath(settingsPath);
    const SettingsFile settings(path);
    std::string out;

    for (const GbkString& section : settings.sectionNames()) {
        out += "[" + utf8(section) + "]\n";
        const int count = settings.countEntries(section);
        for (int i = 0; i < count; ++i) {
            out += std::to_string(i) + "\t" + utf8(settings.entryName(section, i)) + "\t" +
                   utf8(settings.entryValue(section, i)) + "\n";
        }
    }

    for (const auto& [section, key] : knownKeys())
        out += std::string(section) + "/" + key + "=" + utf8(settings.getString(utf8ToGbk(section), utf8ToGbk(key))) +
               "\n";

    const std::vector<RawLine> lines =
        rawLines(readRegularFile(path, SettingsFile::kMaxFileBytes).value_or(std::string()));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const RawLine& line = lines[i];
        if (line.isHeader) {
            // A list ends only at an empty or comment line: a header right
            // after a list's last entry is read as one of its entries.
            if (listSections().count(utf8(line.section)) == 0)
                continue;
            std::size_t next = i + 1;
            while (next < lines.size() && !lines[next].text.empty() && !lines[next].isHeader &&
                   std::string(" \t/\xFD\xFF").find(lines[next].text.front()) == std::string::npos)
                ++next;
            if (next < lines.size() && lines[next].isHeader) {
                out += "warning: list section [" + utf8(line.section) + "] is followed directly by the header " +
                       utf8(lines[next].text) + " (line " + std::to_string(next + 1) +
                       "); the desk reads that header and the lines after it as entries of the list. "
                       "Put an empty line before the header.\n";
            }
            continue;
        }
        const std::size_t equals = line.text.find_first_of("=;");
        if (equals == std::string::npos || line.text[equals] != '=')
            continue;
        const std::string name = line.text.substr(0, equals);
        for (const auto& [section, key] : knownKeys()) {
            const GbkString gbkKey = utf8ToGbk(key);
            if (name != gbkKey && withoutBlanks(name) == gbkKey) {
                out += "warning: line " + std::to_string(i + 1) + ": \"" + utf8(name) + "\" differs from the key " +
                       section + "/" + key + " only by blanks; the desk does not read it as that key\n";
                break;
            }
        }
    }
    return out;
}

AdminResult runAdminCommand(const std::vector<std::string>& arguments)
{
    if (arguments.size() == 1 && arguments[0] == "--version")
        return {0, "regdesk-admin " REGDESK_VERSION "\n", {}};
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h"))
        return helpCommand({"help"});
    if (!arguments.empty() && arguments.size() <= 2 && arguments[0] == "help")
        return helpCommand(arguments);
    if (arguments.size() == 2 && arguments[0] == "init")
        return initCommand(arguments[1]);
    if (arguments.size() == 2 && arguments[0] == "settings")
        return settingsCommand(arguments[1]);
    if (arguments.size() == 2 && arguments[0] == "initials")
        return initialsCommand(arguments[1]);
    if (arguments.size() == 3 && arguments[0] == "import-people")
        return importPeopleCommand(arguments[1], arguments[2]);
    if (arguments.size() == 2 && arguments[0] == "compact")
        return compactCommand(arguments[1]);
    if (arguments.size() == 2 && arguments[0] == "backup")
        return backupCommand(arguments[1]);
    if (arguments.size() == 2 && arguments[0] == "index")
        return indexCommand(arguments[1]);
    if (!arguments.empty() && arguments[0] == "verify")
        return verifyCommand({arguments.begin() + 1, arguments.end()});
    if (!arguments.empty() && arguments[0] == "intake")
        return intakeCommand({arguments.begin() + 1, arguments.end()});
    if (arguments.size() == 2 && arguments[0] == "copy")
        return copyCommand(arguments[1], false);
    if (arguments.size() == 3 && arguments[0] == "copy" && arguments[1] == "--append")
        return copyCommand(arguments[2], true);
    AdminResult result;
    result.exitCode = 64;
    result.errors = kUsage;
    return result;
}

bool logAdminFailure(const std::vector<std::string>& arguments, const AdminResult& result)
{
    // Usage errors are the caller's to read, and only commands on a desk folder have a log.
    static const std::set<std::string> onFolder = {"init",   "settings", "import-people", "compact",
                                                   "backup", "index",    "copy",          "intake"};
    if (result.exitCode == 0 || result.exitCode == 64 || arguments.size() < 2 || !onFolder.contains(arguments[0]))
        return false;
    const std::string& folder = arguments[0] == "copy" ? arguments.back() : arguments[1];
    const DiagnosticsLog log = DiagnosticsLog::forDesk(fromNativePath(folder), "regdesk-admin");
    log.write(LogPriority::Error, "regdesk-admin " + arguments[0] + " failed: " + result.errors);
    return log.toJournal();
}

} // namespace regdesk
