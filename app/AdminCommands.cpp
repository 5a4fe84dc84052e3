#include "app/AdminCommands.h"

#include "RegdeskVersion.h"
#include "app/CollectingPrompter.h"
#include "app/IntakeCommand.h"
#include "app/PictureVerify.h"
#include "db/AdoDatabase.h"
#include "db/AuditTrail.h"
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
#include "settings/SettingsCheck.h"
#include "settings/SettingsEditor.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsKeys.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <set>
#include <unistd.h>
#include <utility>

namespace regdesk {
namespace {

constexpr const char* kUsage =
    "usage: regdesk-admin init DIR | regdesk-admin settings DIR | regdesk-admin edit-settings DIR "
    "| regdesk-admin initials TEXT "
    "| regdesk-admin import-people DIR FILE | regdesk-admin compact DIR "
    "| regdesk-admin backup DIR | regdesk-admin copy [--append] DIR | regdesk-admin index DIR\n"
    "| regdesk-admin verify FILE... [--payload TEXTFILE] | regdesk-admin intake DIR FILE...|FOLDER\n"
    "| regdesk-admin log DIR [--since DATE] [--number 发文号] [--verify] [--export FILE] | regdesk-admin restore DIR "
    "ID\n"
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
         "would use, and warnings for keys and sections it would not read as meant, and\n"
         "for a file saved as UTF-8 (which the desk reads as empty)."},
        {"edit-settings", "edit-settings DIR",
         "Edit DIR/document.ini in $VISUAL or $EDITOR (else nano, else vi) as UTF-8 text;\n"
         "the saved text is checked, the changes are shown, and after a \"y\" it is written\n"
         "back as GBK with CR LF. A character GBK cannot hold, a value out of range or a\n"
         "file changed meanwhile by someone else is refused and nothing is written."},
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
        {"log", "log DIR [--since DATE] [--number 发文号] [--verify] [--export FILE]",
         "Print the register's trail of deletions and replacements (操作日志), one line a\n"
         "change (UTF-8): rows of local date DATE (YYYY-MM-DD) and later, of one 发文号\n"
         "(blanks around it ignored). --verify checks the chain instead and names the\n"
         "first row that does not fit (exit status 1). --export writes the rows to FILE\n"
         "as CSV (UTF-8) for archiving."},
        {"restore", "restore DIR ID",
         "Put the record that row ID of 操作日志 deleted or replaced back into its register,\n"
         "with its attachment, and log the restore. Refused (exit status 3) when a record\n"
         "of that 发文号 exists now or the row was restored before."},
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

std::string utf8(const GbkString& gbk)
{
    return gbkToUtf8(gbk);
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
    if (auto failure = missingFolder(directory))
        return *failure;
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
    if (auto failure = missingFolder(directory))
        return *failure;
    AdminResult result;
    const std::string path = directory + "/document.ini";
    const std::optional<std::string> bytes = readRegularFile(fromNativePath(path), SettingsFile::kMaxFileBytes);
    if (!QFileInfo::exists(QString::fromUtf8(path)))
        result.errors = "regdesk-admin: " + path + " does not exist; the desk reads it as an empty file\n";
    else if (!bytes)
        result.errors = "regdesk-admin: " + path +
                        " is not a readable regular file of at most 1 MiB; the desk reads it as an empty file\n";
    else if (looksLikeUtf8(*bytes))
        // GBK rather than GB18030: iconv then stops at a character the desk could not read, instead of
        // writing it as a four-byte sequence.
        result.errors = "regdesk-admin: warning: " + path +
                        " looks like UTF-8 text (saved so by an editor?); the desk reads GBK only, so every "
                        "Chinese section and key in it reads as missing. Fix it with 'regdesk-admin edit-settings " +
                        directory +
                        "', or with 'iconv -f UTF-8 -t GBK document.ini > document.ini.gbk && mv document.ini.gbk "
                        "document.ini' in that folder\n";
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

// The administrator's terminal for edit-settings: the editor and the questions need it live.
class StandardTerminal final : public EditorTerminal
{
public:
    void say(std::string_view text) override
    {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }
    bool confirm(std::string_view question) override
    {
        say(question);
        std::string answer;
        return static_cast<bool>(std::getline(std::cin, answer)) && !answer.empty() &&
               (answer.front() == 'y' || answer.front() == 'Y');
    }
};

bool isInstalled(const char* program)
{
    const char* path = std::getenv("PATH");
    const std::string_view folders = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= folders.size();) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::string folder(folders.substr(start, end - start));
        if (!folder.empty() && ::access((folder + "/" + program).c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

AdminResult editSettingsCommand(const std::string& directory)
{
    if (auto failure = missingFolder(directory))
        return *failure;
    StandardTerminal terminal;
    ShellEditorRunner editor(
        ShellEditorRunner::chosenEditor([](const char* name) { return std::getenv(name); }, &isInstalled));
    AdminResult result;
    result.exitCode = SettingsEditor(directory + "/document.ini", editor, terminal).run();
    return result;
}

// The initials the personnel import stores for a name, for whoever keeps the sheet.
AdminResult initialsCommand(const std::string& utf8Text)
{
    AdminResult result;
    result.output = PinyinIndex::initials(utf8ToGbk(utf8Text)) + "\n";
    return result;
}

// The personnel import of the form (更新人员表), from the command line.
AdminResult importPeopleCommand(const std::string& directory, const std::string& file)
{
    AdminResult result;
    if (auto failure = missingFolder(directory))
        return *failure;
    CollectingPrompter prompter;
    AdoDatabase database(prompter);
    if (auto failure = openDeskRegister(directory, database, prompter))
        return *failure;
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
    if (auto failure = missingFolder(directory)) {
        result = *failure;
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
    if (auto failure = missingFolder(directory))
        return *failure;
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
    if (auto failure = missingFolder(directory))
        return *failure;
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

// log and restore: the register's trail of deletions and replacements.

// The register of a desk folder on a connection of its own; null, with the
// error in `result`, when it cannot be opened.
std::unique_ptr<PrivateConnection> openRegisterOf(const std::string& directory, RegisterFileMode mode,
                                                  AdminResult& result)
{
    if (auto failure = missingFolder(directory)) {
        result = *failure;
        return nullptr;
    }
    const DatabaseSettings settings = settingsOf(directory);
    std::unique_ptr<PrivateConnection> connection;
    if (settings.kind == DatabaseSettings::Kind::PostgreSql)
        connection = std::make_unique<PrivateConnection>(ServerAddress::fromSettings(settings));
    else if (settings.kind == DatabaseSettings::Kind::DataFile)
        connection = std::make_unique<PrivateConnection>(
            QDir(QString::fromUtf8(directory)).filePath(QString::fromUtf8(AdoDatabase::kDatabaseFileName)), mode);
    if (!connection) {
        result.exitCode = 4;
        result.errors = unknownTypeError(settings);
        return nullptr;
    }
    if (!connection->isOpen()) {
        result.exitCode = 4;
        result.errors = "regdesk-admin: cannot open the register database: " + connection->error().toStdString() + "\n";
        return nullptr;
    }
    return connection;
}

// A text as one quoted token of a line: blanks visible, line breaks escaped.
std::string quoted(const QString& text)
{
    const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return json.mid(1, json.size() - 2).toStdString();
}

std::string trailLine(const AuditTrail::Entry& entry)
{
    std::string line = "#" + std::to_string(entry.id) + "  " + entry.localTime.toStdString() + "  " +
                       entry.user.toStdString() + "@" + entry.host.toStdString() + " 进程" +
                       std::to_string(entry.process) + "  " + entry.action.toStdString();
    if (!entry.table.isEmpty())
        line += "  " + entry.table.toStdString();
    if (entry.number)
        line += "  发文号=" + quoted(*entry.number);
    if (entry.attachmentSize)
        line += "  附件=" + std::to_string(*entry.attachmentSize) +
                "字节 sha256:" + entry.attachmentDigest.value_or(QString()).toStdString();
    if (entry.refersTo)
        line += "  恢复自=#" + std::to_string(*entry.refersTo);
    return line + "  原记录=" + entry.before.toStdString() + "\n";
}

// One CSV field (RFC 4180): NULL as nothing, a text always quoted, so that
// an empty text ("") stays apart from NULL for whoever recomputes the chain.
QByteArray csvField(const std::optional<QString>& text)
{
    if (!text)
        return {};
    QByteArray field = text->toUtf8();
    field.replace("\"", "\"\"");
    return '"' + field + '"';
}

QByteArray csvLine(const AuditTrail::Entry& entry)
{
    const auto number = [](const std::optional<qint64>& value) {
        return value ? std::optional<QString>(QString::number(*value)) : std::nullopt;
    };
    const std::optional<QString> fields[] = {QString::number(entry.id),
                                             entry.utcTime,
                                             entry.localTime,
                                             entry.user,
                                             entry.host,
                                             QString::number(entry.process),
                                             entry.action,
                                             entry.table,
                                             entry.number,
                                             entry.before,
                                             number(entry.attachmentSize),
                                             entry.attachmentDigest,
                                             number(entry.refersTo),
                                             entry.chain};
    QByteArray line;
    for (const std::optional<QString>& field : fields)
        line += (line.isEmpty() ? QByteArray() : QByteArray(",")) + csvField(field);
    return line + "\r\n";
}

AdminResult logCommand(const std::vector<std::string>& arguments)
{
    AdminResult result;
    AuditTrail::Filter filter;
    bool verify = false;
    std::optional<std::string> exportPath;
    for (std::size_t i = 2; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (option == "--verify") {
            verify = true;
        } else if (option == "--since" && hasValue &&
                   QDate::fromString(QString::fromStdString(arguments[i + 1]), Qt::ISODate).isValid() &&
                   arguments[i + 1].size() == 10) {
            filter.since = QString::fromStdString(arguments[++i]);
        } else if (option == "--number" && hasValue && !arguments[i + 1].empty()) {
            filter.number = QString::fromStdString(arguments[++i]);
        } else if (option == "--export" && hasValue && !arguments[i + 1].empty()) {
            exportPath = arguments[++i];
        } else {
            return {64, {}, "regdesk-admin: log: unknown or incomplete option " + option + "\n" + kUsage};
        }
    }
    const std::unique_ptr<PrivateConnection> connection =
        openRegisterOf(arguments[1], RegisterFileMode::ReadOnly, result);
    if (!connection)
        return result;
    const AuditTrail trail(connection->database());
    if (verify) {
        const AuditTrail::Verification verification = trail.verify();
        if (verification.firstBad) {
            result.exitCode = 1;
            result.errors = "regdesk-admin: 操作日志 编号 " + std::to_string(*verification.firstBad) +
                            " does not fit the chain: " + verification.reason.toStdString() + "\n";
        } else if (!verification.reason.isEmpty()) {
            result.exitCode = 4;
            result.errors = "regdesk-admin: cannot read 操作日志: " + verification.reason.toStdString() + "\n";
        } else {
            result.output = "操作日志: " + std::to_string(verification.rows) + " rows, the chain is unbroken\n";
        }
        return result;
    }
    QSaveFile file(exportPath ? QString::fromStdString(*exportPath) : QString());
    if (exportPath) {
        if (!file.open(QIODevice::WriteOnly)) {
            result.exitCode = 4;
            result.errors =
                "regdesk-admin: cannot write " + *exportPath + ": " + file.errorString().toStdString() + "\n";
            return result;
        }
        // UTF-8 with a byte-order mark, so that a spreadsheet reads the Chinese right.
        file.write(
            "\xEF\xBB\xBF编号,时间,本地时间,用户,主机,进程,操作,表名,发文号,原记录,附件大小,附件摘要,关联,链值\r\n");
    }
    qint64 rows = 0;
    const QString failure = trail.forEach(filter, [&](const AuditTrail::Entry& entry) {
        ++rows;
        if (exportPath)
            file.write(csvLine(entry));
        else
            result.output += trailLine(entry);
    });
    if (!failure.isEmpty()) {
        result.exitCode = 4;
        result.errors = "regdesk-admin: cannot read 操作日志: " + failure.toStdString() + "\n";
        return result;
    }
    if (exportPath) {
        if (!file.commit()) {
            result.exitCode = 4;
            result.errors =
                "regdesk-admin: cannot write " + *exportPath + ": " + file.errorString().toStdString() + "\n";
            return result;
        }
        result.output = "wrote " + std::to_string(rows) + " rows of 操作日志 to " + *exportPath + "\n";
    } else if (rows == 0) {
        result.output = "操作日志: no rows\n";
    }
    return result;
}

AdminResult restoreCommand(const std::string& directory, const std::string& idText)
{
    AdminResult result;
    bool ok = false;
    const qint64 id = QString::fromStdString(idText).toLongLong(&ok);
    if (!ok || id < 1 || idText.find_first_not_of("0123456789") != std::string::npos)
        return {64, {}, "regdesk-admin: restore: ID must be the number of a row of 操作日志\n" + std::string(kUsage)};
    const std::unique_ptr<PrivateConnection> connection =
        openRegisterOf(directory, RegisterFileMode::ReadWrite, result);
    if (!connection)
        return result;
    const AuditTrail::Restoration restoration = AuditTrail(connection->database()).restore(id);
    switch (restoration.outcome) {
    case AuditTrail::Restoration::Outcome::Restored:
        result.output = restoration.text.toStdString() + "\n";
        break;
    case AuditTrail::Restoration::Outcome::Refused:
        result.exitCode = 3;
        result.errors = "regdesk-admin: nothing restored: " + restoration.text.toStdString() + "\n";
        break;
    case AuditTrail::Restoration::Outcome::Failed:
        result.exitCode = 4;
        result.errors = "regdesk-admin: nothing restored: " + restoration.text.toStdString() + "\n";
        break;
    }
    return result;
}

} // namespace

std::optional<AdminResult> missingFolder(const std::string& directory)
{
    if (QFileInfo(QString::fromUtf8(directory)).isDir())
        return std::nullopt;
    AdminResult result;
    result.exitCode = 2;
    result.errors = "regdesk-admin: no such folder: " + directory + "\n";
    return result;
}

std::optional<AdminResult> openDeskRegister(const std::string& directory, AdoDatabase& database,
                                            const CollectingPrompter& prompter)
{
    if (!database.openConnection(AdoDatabase::connectionStringFor(fromNativePath(directory)))) {
        AdminResult result;
        result.exitCode = 4;
        result.errors = "regdesk-admin: cannot open the register database: " + prompter.lines;
        return result;
    }
    AdoDatabase::setActiveConnection(database.connection());
    return std::nullopt;
}

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

    for (const KnownSetting& known : SettingsKeys::knownSettings())
        out += std::string(known.section) + "/" + std::string(known.key) + "=" +
               utf8(settings.getString(utf8ToGbk(known.section), utf8ToGbk(known.key))) + "\n";

    for (const SettingsFinding& finding :
         checkSettings(readRegularFile(path, SettingsFile::kMaxFileBytes).value_or(std::string())))
        out += finding.toText() + "\n";
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
    if (arguments.size() == 2 && arguments[0] == "edit-settings")
        return editSettingsCommand(arguments[1]);
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
    if (arguments.size() >= 2 && arguments[0] == "log")
        return logCommand(arguments);
    if (arguments.size() == 3 && arguments[0] == "restore")
        return restoreCommand(arguments[1], arguments[2]);
    AdminResult result;
    result.exitCode = 64;
    result.errors = kUsage;
    return result;
}

bool logAdminFailure(const std::vector<std::string>& arguments, const AdminResult& result)
{
    // Usage errors are the caller's to read, and only commands on a desk folder have a log.
    static const std::set<std::string> onFolder = {"init",  "settings", "import-people", "compact", "backup",
                                                   "index", "copy",     "log",           "restore", "intake"};
    if (result.exitCode == 0 || result.exitCode == 64 || arguments.size() < 2 || !onFolder.contains(arguments[0]))
        return false;
    const std::string& folder = arguments[0] == "copy" ? arguments.back() : arguments[1];
    const DiagnosticsLog log = DiagnosticsLog::forDesk(fromNativePath(folder), "regdesk-admin");
    log.write(LogPriority::Error, "regdesk-admin " + arguments[0] + " failed: " + result.errors);
    return log.toJournal();
}

} // namespace regdesk
