#include "db/AuditTrail.h"

#include "db/ServerAddress.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <algorithm>
#include <charconv>
#include <future>
#include <memory>
#include <openssl/evp.h>
#include <pwd.h>
#include <span>
#include <sqlite3.h>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>

namespace regdesk {
namespace {

// The chain's lock on the server: one desk extends it at a time, until its commit.
constexpr int kChainLockKey = 0x41554454; // "AUDT"

const QStringList& registerColumns()
{
    static const QStringList columns = {
        QStringLiteral("发文号"),   QStringLiteral("标题"),     QStringLiteral("密级"),     QStringLiteral("文种"),
        QStringLiteral("主送"),     QStringLiteral("发布层次"), QStringLiteral("发文单位"), QStringLiteral("紧急程度"),
        QStringLiteral("成文日期"), QStringLiteral("制码号"),   QStringLiteral("制码单位"), QStringLiteral("制码时间"),
        QStringLiteral("版本"),     QStringLiteral("备注"),     QStringLiteral("条码已打"), QStringLiteral("文件类型")};
    return columns;
}

bool isRegister(const QString& table)
{
    return table == QStringLiteral("发文登记表") || table == QStringLiteral("收文登记表");
}

QString entryColumns()
{
    return QStringLiteral(
        "编号, 时间, 本地时间, 用户, 主机, 进程, 操作, 表名, 发文号, 原记录, 附件大小, 附件摘要, 关联, 链值");
}

std::optional<QString> textOrNull(const QVariant& value)
{
    return value.isNull() ? std::nullopt : std::optional<QString>(value.toString());
}

std::optional<qint64> integerOrNull(const QVariant& value)
{
    return value.isNull() ? std::nullopt : std::optional<qint64>(value.toLongLong());
}

QJsonValue jsonOf(const std::optional<QString>& text)
{
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

// Row ids as the JSON array the statements take: "[1,2,3]".
std::string jsonIdList(std::span<const qint64> ids)
{
    std::string list = "[";
    for (const qint64 id : ids) {
        if (list.size() > 1)
            list += ',';
        list += std::to_string(id);
    }
    list += ']';
    return list;
}

QString jsonText(const QJsonArray& pairs)
{
    return QString::fromUtf8(QJsonDocument(pairs).toJson(QJsonDocument::Compact));
}

QString userName()
{
    struct passwd entry
    {
    };
    struct passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return QStringLiteral("uid %1").arg(::geteuid());
}

AuditTrail::Entry entryOf(const QSqlQuery& query)
{
    AuditTrail::Entry entry;
    entry.id = query.value(0).toLongLong();
    entry.utcTime = query.value(1).toString();
    entry.localTime = query.value(2).toString();
    entry.user = query.value(3).toString();
    entry.host = query.value(4).toString();
    entry.process = query.value(5).toLongLong();
    entry.action = query.value(6).toString();
    entry.table = query.value(7).toString();
    entry.number = textOrNull(query.value(8));
    entry.before = query.value(9).toString();
    entry.attachmentSize = integerOrNull(query.value(10));
    entry.attachmentDigest = textOrNull(query.value(11));
    entry.refersTo = integerOrNull(query.value(12));
    entry.chain = query.value(13).toString();
    return entry;
}

// SHA-256 in lowercase hex, by OpenSSL (several times faster than Qt's own
// on a million rows of --verify). The algorithm is looked up once and the
// context reused: OpenSSL 3 looks it up again at every plain start, which
// cost more than hashing a row of the trail.
class Sha256
{
public:
    Sha256() = default;

    // Lowercase hex of SHA-256(first, second); empty when OpenSSL fails.
    std::string hex(std::string_view first, std::string_view second = {})
    {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (!m_algorithm || !m_context || EVP_DigestInit_ex2(m_context.get(), m_algorithm.get(), nullptr) != 1 ||
            EVP_DigestUpdate(m_context.get(), first.data(), first.size()) != 1 ||
            EVP_DigestUpdate(m_context.get(), second.data(), second.size()) != 1 ||
            EVP_DigestFinal_ex(m_context.get(), digest, &length) != 1)
            return {};
        static constexpr char kHex[] = "0123456789abcdef";
        std::string text(std::size_t{length} * 2, '\0');
        for (unsigned int i = 0; i < length; ++i) {
            text[2 * i] = kHex[digest[i] >> 4];
            text[2 * i + 1] = kHex[digest[i] & 0xF];
        }
        return text;
    }

private:
    std::unique_ptr<EVP_MD, decltype(&EVP_MD_free)> m_algorithm{EVP_MD_fetch(nullptr, "SHA256", nullptr), &EVP_MD_free};
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> m_context{EVP_MD_CTX_new(), &EVP_MD_CTX_free};
};

QByteArray sha256Hex(const QByteArray& first, const QByteArray& second = {})
{
    const std::string hex = Sha256().hex(std::string_view(first.constData(), static_cast<std::size_t>(first.size())),
                                         std::string_view(second.constData(), static_cast<std::size_t>(second.size())));
    return QByteArray(hex.data(), static_cast<qsizetype>(hex.size()));
}

// The engine's own handle under the desk's data.db connection, or null.
sqlite3* sqliteHandle(const QSqlDatabase& database)
{
    const QVariant handle = database.driver() ? database.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.data());
}

using SqliteStatement = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

SqliteStatement prepareOn(sqlite3* database, const QString& sql)
{
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(database, sql.toUtf8().constData(), -1, &statement, nullptr);
    return SqliteStatement(statement, &sqlite3_finalize);
}

QString sqliteFailure(sqlite3* database)
{
    return QString::fromUtf8(sqlite3_errmsg(database));
}

void appendNetstring(std::string& out, std::string_view bytes)
{
    char length[24];
    const auto end = std::to_chars(length, length + sizeof length, bytes.size()).ptr;
    out.append(length, end).append(1, ':').append(bytes).append(1, ',');
}

void appendNumberNetstring(std::string& out, qint64 value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    appendNetstring(out, std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

// The chain's fields as the desk holds them: absent ones as "N,".
void appendNetstring(std::string& out, const std::optional<QString>& field)
{
    if (field)
        appendNetstring(out, field->toStdString());
    else
        out += "N,";
}

void appendNumberNetstring(std::string& out, const std::optional<qint64>& field)
{
    if (field)
        appendNumberNetstring(out, *field);
    else
        out += "N,";
}

// A JSON string of UTF-8 text as stored: quotes, backslashes and control
// characters escaped, every other byte as it is.
void appendJsonString(std::string& out, std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    std::size_t plainFrom = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte != '"' && byte != '\\')
            continue;
        out.append(text.substr(plainFrom, i - plainFrom));
        plainFrom = i + 1;
        switch (byte) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        }
    }
    out.append(text.substr(plainFrom)).append(1, '"');
}

// A column of the current row as the engine's text, or nothing for NULL.
std::optional<std::string_view> columnText(sqlite3_stmt* statement, int column)
{
    // No pointer for NULL, and for an empty value stored as bytes: only then is the type asked.
    if (const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column)))
        return std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
    if (sqlite3_column_type(statement, column) == SQLITE_NULL)
        return std::nullopt;
    return std::string_view();
}

// A transaction of the trail's own. On data.db it takes the write lock at
// once (BEGIN IMMEDIATE), waiting out another writer: a transaction that read
// first could only fail when it came to write while another desk held the lock.
class OwnTransaction
{
public:
    OwnTransaction(QSqlDatabase database, bool server) : m_database(std::move(database)), m_server(server)
    {
        if (m_server) {
            m_open = m_database.transaction();
            m_failure = sqlErrorText(m_database.lastError());
            return;
        }
        QSqlQuery begin(m_database);
        m_open = begin.exec(QStringLiteral("BEGIN IMMEDIATE"));
        m_failure = sqlErrorText(begin.lastError());
    }
    ~OwnTransaction()
    {
        if (!m_open)
            return;
        if (m_server)
            m_database.rollback();
        else
            QSqlQuery(m_database).exec(QStringLiteral("ROLLBACK"));
    }
    OwnTransaction(const OwnTransaction&) = delete;
    OwnTransaction& operator=(const OwnTransaction&) = delete;

    bool isOpen() const { return m_open; }
    // Why it did not begin.
    const QString& failure() const { return m_failure; }
    bool commit()
    {
        if (!m_open || !(m_server ? m_database.commit() : QSqlQuery(m_database).exec(QStringLiteral("COMMIT"))))
            return false;
        m_open = false;
        return true;
    }

private:
    QSqlDatabase m_database;
    bool m_server;
    bool m_open = false;
    QString m_failure;
};

} // namespace

QString AuditTrail::actionName(Action action)
{
    switch (action) {
    case Action::DeleteRecord:
        return QStringLiteral("删除记录");
    case Action::ReplaceRegistration:
        return QStringLiteral("覆盖登记");
    case Action::DeleteAttachment:
        return QStringLiteral("删除附件");
    case Action::ImportPeople:
        return QStringLiteral("导入人员");
    case Action::Compact:
        return QStringLiteral("压缩库");
    case Action::Backup:
        return QStringLiteral("备份库");
    case Action::CopyRegister:
        return QStringLiteral("复制登记库");
    case Action::RestoreRecord:
        return QStringLiteral("恢复记录");
    }
    return {};
}

QByteArray AuditTrail::canonicalContent(const Entry& entry)
{
    std::string out;
    appendNumberNetstring(out, entry.id);
    for (const QString* field : {&entry.utcTime, &entry.localTime, &entry.user, &entry.host})
        appendNetstring(out, *field);
    appendNumberNetstring(out, entry.process);
    appendNetstring(out, entry.action);
    appendNetstring(out, entry.table);
    appendNetstring(out, entry.number);
    appendNetstring(out, entry.before);
    appendNumberNetstring(out, entry.attachmentSize);
    appendNetstring(out, entry.attachmentDigest);
    appendNumberNetstring(out, entry.refersTo);
    return QByteArray::fromStdString(out);
}

QString AuditTrail::chainValue(const QString& previous, const Entry& entry)
{
    return QString::fromLatin1(sha256Hex(previous.toLatin1(), canonicalContent(entry)));
}

QStringList AuditTrail::schemaStatements(bool server)
{
    const QString integer = server ? QStringLiteral("bigint") : QStringLiteral("INTEGER");
    const QString text = server ? QStringLiteral("text") : QStringLiteral("TEXT");
    const QString blob = server ? QStringLiteral("bytea") : QStringLiteral("BLOB");
    return {
        QStringLiteral("CREATE TABLE IF NOT EXISTS 操作日志 (编号 %1 PRIMARY KEY, 时间 %2 NOT NULL, 本地时间 %2 NOT "
                       "NULL, 用户 %2 NOT NULL, 主机 %2 NOT NULL, 进程 %1 NOT NULL, 操作 %2 NOT NULL, 表名 %2 NOT "
                       "NULL, 发文号 %2, 原记录 %2 NOT NULL, 附件大小 %1, 附件摘要 %2, 关联 %1, 链值 %2 NOT NULL)")
            .arg(integer, text),
        QStringLiteral("CREATE TABLE IF NOT EXISTS 回收站附件 (日志编号 %1 PRIMARY KEY, 文件数据 %2 NOT NULL)")
            .arg(integer, blob)};
}

AuditTrail::AuditTrail(QSqlDatabase database)
    : m_database(std::move(database)), m_server(m_database.driverName() == QLatin1String("QPSQL"))
{}

QString AuditTrail::begin()
{
    if (m_begun)
        return {};
    QSqlQuery query(m_database);
    // The chain is extended by one desk at a time: the server's lock lasts
    // until the commit; on data.db the first write takes the file's write lock.
    if (m_server && !query.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1, 0)").arg(kChainLockKey)))
        return sqlErrorText(query.lastError());
    const QString present = m_server
                                ? QStringLiteral("SELECT count(*) FROM (VALUES (to_regclass('操作日志')), "
                                                 "(to_regclass('回收站附件'))) AS t(c) WHERE c IS NOT NULL")
                                : QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN "
                                                 "('操作日志', '回收站附件')");
    if (!query.exec(present) || !query.next())
        return sqlErrorText(query.lastError());
    if (query.value(0).toInt() != 2) {
        // An older register gets the trail at its first change that needs it.
        for (const QString& statement : schemaStatements(m_server)) {
            if (!query.exec(statement))
                return sqlErrorText(query.lastError());
        }
    }
    if (!m_server && !query.exec(QStringLiteral("UPDATE 操作日志 SET 编号 = 编号 WHERE 0")))
        return sqlErrorText(query.lastError());
    if (!query.exec(QStringLiteral("SELECT 编号, 链值 FROM 操作日志 ORDER BY 编号 DESC LIMIT 1")))
        return sqlErrorText(query.lastError());
    if (query.next()) {
        m_lastId = query.value(0).toLongLong();
        m_lastChain = query.value(1).toString();
    } else {
        m_lastId = 0;
        m_lastChain = chainStart();
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    m_stamp.utcTime = now.toString(Qt::ISODateWithMs);
    m_stamp.localTime = now.toLocalTime().toString(Qt::ISODateWithMs);
    m_stamp.user = userName();
    m_stamp.host = QSysInfo::machineHostName();
    m_stamp.process = ::getpid();
    m_insert.reset();
    m_keepBytes.reset();
    m_begun = true;
    return {};
}

void AuditTrail::stamp(Entry& entry) const
{
    entry.utcTime = m_stamp.utcTime;
    entry.localTime = m_stamp.localTime;
    entry.user = m_stamp.user;
    entry.host = m_stamp.host;
    entry.process = m_stamp.process;
}

QString AuditTrail::append(Entry& entry, const std::optional<qint64>& sourceRowForBytes, const QString& sourceTable)
{
    stamp(entry);
    entry.id = m_lastId + 1;
    entry.chain = chainValue(m_lastChain, entry);
    if (!m_insert) {
        m_insert.emplace(m_database);
        if (!m_insert->prepare(
                QStringLiteral("INSERT INTO 操作日志 (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                    .arg(entryColumns()))) {
            const QString failure = sqlErrorText(m_insert->lastError());
            m_insert.reset();
            return failure;
        }
    }
    QSqlQuery& query = *m_insert;
    // A null QString binds as NULL: the columns that hold text always get text.
    const auto text = [](const QString& value) { return QVariant(value.isNull() ? QString::fromLatin1("") : value); };
    for (const QVariant& value :
         {QVariant(entry.id), text(entry.utcTime), text(entry.localTime), text(entry.user), text(entry.host),
          QVariant(entry.process), text(entry.action), text(entry.table),
          entry.number ? QVariant(*entry.number) : QVariant(QMetaType::fromType<QString>()), text(entry.before),
          entry.attachmentSize ? QVariant(*entry.attachmentSize) : QVariant(QMetaType::fromType<qint64>()),
          entry.attachmentDigest ? QVariant(*entry.attachmentDigest) : QVariant(QMetaType::fromType<QString>()),
          entry.refersTo ? QVariant(*entry.refersTo) : QVariant(QMetaType::fromType<qint64>()), QVariant(entry.chain)})
        query.addBindValue(value);
    if (!query.exec())
        return sqlErrorText(query.lastError());
    if (sourceRowForBytes && entry.attachmentSize) {
        // Copied by the database itself: the bytes never pass through the desk.
        if (!m_keepBytes || m_keepBytesTable != sourceTable) {
            m_keepBytes.emplace(m_database);
            m_keepBytesTable = sourceTable;
            if (!m_keepBytes->prepare(QStringLiteral("INSERT INTO 回收站附件 (日志编号, 文件数据) SELECT ?, 文件数据 "
                                                     "FROM %1 WHERE rowid = ? AND 文件数据 IS NOT NULL")
                                          .arg(sourceTable))) {
                const QString failure = sqlErrorText(m_keepBytes->lastError());
                m_keepBytes.reset();
                return failure;
            }
        }
        QSqlQuery& keep = *m_keepBytes;
        keep.addBindValue(entry.id);
        keep.addBindValue(*sourceRowForBytes);
        if (!keep.exec())
            return sqlErrorText(keep.lastError());
        if (keep.numRowsAffected() != 1)
            return QStringLiteral("附件没有存入回收站");
    }
    m_lastId = entry.id;
    m_lastChain = entry.chain;
    return {};
}

QString AuditTrail::recordRows(Action action, const QString& table, const std::vector<qint64>& ids,
                               bool onlyWithAttachment, std::optional<qint64> refersTo)
{
    if (ids.empty())
        return {};
    if (!isRegister(table))
        return QStringLiteral("%1 不是登记表").arg(table);
    if (QString failure = begin(); !failure.isEmpty())
        return failure;
    const QString only =
        onlyWithAttachment ? QStringLiteral(" AND (文件数据 IS NOT NULL OR coalesce(文件类型, '') <> '')") : QString();
    if (!m_server)
        return recordFileRows(action, table, ids, only, refersTo, {});
    const QString idList = QString::fromStdString(jsonIdList(ids));
    // The record as JSON, made by the server: [[column, text or null], ...]
    // in the register's order, with the attachment's size and digest.
    QStringList pairs;
    for (const QString& column : registerColumns())
        pairs << QStringLiteral("json_build_array('%1', %1)").arg(column);
    QSqlQuery rows(m_database);
    rows.setForwardOnly(true);
    if (!rows.prepare(QStringLiteral("SELECT rowid, 发文号, json_build_array(%1)::text, octet_length(文件数据), "
                                     "encode(sha256(文件数据), 'hex') FROM %2 WHERE rowid IN (SELECT "
                                     "json_array_elements_text(?::json)::bigint)%3 ORDER BY rowid")
                          .arg(pairs.join(QStringLiteral(", ")), table, only)))
        return sqlErrorText(rows.lastError());
    rows.addBindValue(idList);
    if (!rows.exec())
        return sqlErrorText(rows.lastError());
    // Read whole before the first row is written: the server's driver drops
    // the rest of a result when another statement runs on its connection.
    std::vector<std::pair<Entry, qint64>> entries;
    while (rows.next()) {
        Entry entry;
        entry.action = actionName(action);
        entry.table = table;
        entry.refersTo = refersTo;
        entry.number = textOrNull(rows.value(1));
        entry.before = rows.value(2).toString();
        if (!rows.value(3).isNull()) {
            entry.attachmentSize = rows.value(3).toLongLong();
            entry.attachmentDigest = rows.value(4).toString();
        }
        entries.emplace_back(std::move(entry), rows.value(0).toLongLong());
    }
    if (rows.lastError().isValid())
        return sqlErrorText(rows.lastError());
    rows.finish();
    for (auto& [entry, rowid] : entries) {
        if (QString failure = append(entry, rowid, table); !failure.isEmpty())
            return failure;
    }
    return {};
}

QString AuditTrail::recordAndChange(Action action, const QString& table, const std::vector<qint64>& ids,
                                    const Change& change)
{
    if (ids.empty())
        return {};
    if (m_server) {
        if (QString failure = recordRows(action, table, ids); !failure.isEmpty())
            return failure;
        return change(QString::fromStdString(jsonIdList(ids)));
    }
    if (!isRegister(table))
        return QStringLiteral("%1 不是登记表").arg(table);
    sqlite3* const database = sqliteHandle(m_database);
    if (!database)
        return QStringLiteral("数据库没有打开");
    // The groups are changed one after another: outside the caller's
    // transaction each would be final before its rows were written.
    std::optional<OwnTransaction> own;
    if (sqlite3_get_autocommit(database)) {
        own.emplace(m_database, false);
        if (!own->isOpen())
            return own->failure();
        m_begun = false;
    }
    QString failure = begin();
    if (failure.isEmpty())
        failure = recordFileRows(action, table, ids, {}, std::nullopt, change);
    if (own) {
        m_begun = false; // the next change reads the chain's head again
        if (failure.isEmpty() && !own->commit())
            failure = sqlErrorText(m_database.lastError());
    }
    return failure;
}

namespace {

// A register's records are read for the trail a group at a time: at most
// kGroupRecords, their small attachments held in memory up to kHeldBytes, so
// that a deletion of every record of a register needs no more. An attachment
// over kHeldAttachment is hashed and kept as it is read, never copied.
constexpr std::size_t kGroupRecords = 1000;
constexpr std::size_t kHeldBytes = std::size_t{32} << 20;
constexpr std::size_t kHeldAttachment = std::size_t{4} << 20;

// What every trail row of one change shares.
struct RowShape
{
    std::vector<std::string> keys; // each "[\"column\","
    std::string shared;            // the netstrings of 时间 … 表名
    std::optional<qint64> refersTo;
};

// Records read for the trail, held until their rows are written.
struct ReadRecords
{
    struct Field
    {
        std::size_t offset = 0;
        std::size_t length = 0;
        bool null = true;
    };
    struct Record
    {
        qint64 rowid = 0;
        qint64 id = 0; // 编号 of its trail row
        std::size_t firstField = 0;
        std::optional<qint64> attachmentSize;
        std::string attachmentDigest; // of a large attachment as read, else worked out with the chain
        bool holdsBytes = false;      // its attachment's bytes are in `heldBytes`, to be kept
        std::string heldBytes;
        std::string before; // 原记录
        std::string chain;
    };
    std::string text; // the fields' stored bytes back to back
    std::vector<Field> fields;
    std::vector<Record> records;
    std::size_t heldTotal = 0; // bytes of all held attachments

    std::optional<std::string_view> field(const Record& record, std::size_t column) const
    {
        const Field& found = fields[record.firstField + column];
        if (found.null)
            return std::nullopt;
        return std::string_view(text).substr(found.offset, found.length);
    }
    void clear()
    {
        text.clear();
        fields.clear();
        records.clear();
        heldTotal = 0;
    }
    // The records' row ids as a JSON array, for the change.
    QString rowidList() const
    {
        std::vector<qint64> rowids;
        rowids.reserve(records.size());
        for (const Record& record : records)
            rowids.push_back(record.rowid);
        return QString::fromStdString(jsonIdList(rowids));
    }
};

// Works out each record's 原记录, attachment digest and chain value, in
// order, from the chain value `previous`, which it leaves at the last row's.
// Touches no database: it may run while the change does.
bool chainRecords(ReadRecords& read, const RowShape& shape, std::string& previous, Sha256& sha256)
{
    std::string content;
    for (ReadRecords::Record& record : read.records) {
        // 原记录: [["发文号","…"],…] in the register's order; a value another
        // program stored as a number or bytes, as its text.
        std::string& before = record.before;
        before.assign(1, '[');
        for (std::size_t i = 0; i < shape.keys.size(); ++i) {
            if (i > 0)
                before += ',';
            before += shape.keys[i];
            if (const auto text = read.field(record, i))
                appendJsonString(before, *text);
            else
                before += "null";
            before += ']';
        }
        before += ']';
        if (record.holdsBytes) {
            record.attachmentDigest = sha256.hex(record.heldBytes);
            if (record.attachmentDigest.empty())
                return false;
        }
        content.clear();
        appendNumberNetstring(content, record.id);
        content += shape.shared;
        if (const auto number = read.field(record, 0))
            appendNetstring(content, *number);
        else
            content += "N,";
        appendNetstring(content, before);
        if (record.attachmentSize) {
            appendNumberNetstring(content, *record.attachmentSize);
            appendNetstring(content, record.attachmentDigest);
        } else {
            content += "N,N,";
        }
        if (shape.refersTo)
            appendNumberNetstring(content, *shape.refersTo);
        else
            content += "N,";
        record.chain = sha256.hex(previous, content);
        if (record.chain.empty())
            return false;
        previous = record.chain;
    }
    return true;
}

// Binds a blob for the statement's step: an empty one as an empty blob, which
// the engine would take for NULL given no pointer.
void bindBytes(sqlite3_stmt* statement, int index, const void* bytes, int count)
{
    if (bytes && count > 0)
        sqlite3_bind_blob(statement, index, bytes, count, SQLITE_STATIC);
    else
        sqlite3_bind_zeroblob(statement, index, 0);
}

} // namespace

// data.db: a deletion of a thousand records writes a thousand rows, so they
// go through the engine's own interface on the desk's connection, from the
// stored UTF-8 bytes straight into the chain. With a change, each group of
// records is read, then changed while another thread works out its rows'
// JSON and chain values, then logged: the rows go into the pages the change
// has just freed, and the hashing costs the clerk no time.
QString AuditTrail::recordFileRows(Action action, const QString& table, const std::vector<qint64>& ids,
                                   const QString& only, std::optional<qint64> refersTo, const Change& change)
{
    sqlite3* const database = sqliteHandle(m_database);
    if (!database)
        return QStringLiteral("数据库没有打开");
    const QStringList& columns = registerColumns();
    const auto rows = prepareOn(database, QStringLiteral("SELECT rowid, %1, 文件数据 FROM %2 WHERE rowid IN (SELECT "
                                                         "value FROM json_each(?1)) AND (?2 IS NULL OR rowid > ?2)%3 "
                                                         "ORDER BY rowid")
                                              .arg(columns.join(QStringLiteral(", ")), table, only));
    const auto insert = prepareOn(
        database, QStringLiteral("INSERT INTO 操作日志 (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                      .arg(entryColumns()));
    const auto keepBytes =
        prepareOn(database, QStringLiteral("INSERT INTO 回收站附件 (日志编号, 文件数据) VALUES (?, ?)"));
    if (!rows || !insert || !keepBytes)
        return sqliteFailure(database);

    // What every row of this change shares, as bound and as hashed.
    const std::string utcTime = m_stamp.utcTime.toStdString();
    const std::string localTime = m_stamp.localTime.toStdString();
    const std::string user = m_stamp.user.toStdString();
    const std::string host = m_stamp.host.toStdString();
    const std::string actionText = actionName(action).toStdString();
    const std::string tableText = table.toStdString();
    RowShape shape;
    for (const std::string* field : {&utcTime, &localTime, &user, &host})
        appendNetstring(shape.shared, *field);
    appendNumberNetstring(shape.shared, m_stamp.process);
    appendNetstring(shape.shared, actionText);
    appendNetstring(shape.shared, tableText);
    for (const QString& column : columns) {
        std::string key = "[";
        appendJsonString(key, column.toStdString());
        shape.keys.push_back(key + ',');
    }
    shape.refersTo = refersTo;
    const auto bindText = [&](int index, std::string_view text) {
        sqlite3_bind_text(insert.get(), index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
    };
    bindText(2, utcTime);
    bindText(3, localTime);
    bindText(4, user);
    bindText(5, host);
    sqlite3_bind_int64(insert.get(), 6, m_stamp.process);
    bindText(7, actionText);
    bindText(8, tableText);
    if (refersTo)
        sqlite3_bind_int64(insert.get(), 13, *refersTo);
    else
        sqlite3_bind_null(insert.get(), 13);

    // In row id order across the groups, as one statement would read them.
    std::vector<qint64> sorted = ids;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());

    Sha256 readingSha256; // large attachments, as they are read
    Sha256 chainSha256;   // the rest, perhaps on the other thread
    std::string previous = m_lastChain.toStdString();
    qint64 id = m_lastId;
    ReadRecords read;
    const int bytesColumn = static_cast<int>(columns.size()) + 1;
    for (std::size_t start = 0; start < sorted.size(); start += kGroupRecords) {
        const std::size_t groupSize = std::min(sorted.size() - start, kGroupRecords);
        const std::string group = jsonIdList(std::span(sorted).subspan(start, groupSize));
        sqlite3_bind_text(rows.get(), 1, group.data(), static_cast<int>(group.size()), SQLITE_STATIC);
        sqlite3_bind_null(rows.get(), 2);
        read.records.reserve(groupSize);
        read.fields.reserve(groupSize * static_cast<std::size_t>(columns.size()));
        for (;;) {
            read.clear();
            bool cut = false; // the held attachments filled up before the group's end
            int step = SQLITE_ROW;
            while ((step = sqlite3_step(rows.get())) == SQLITE_ROW) {
                const bool attached = sqlite3_column_type(rows.get(), bytesColumn) != SQLITE_NULL;
                const void* bytes = attached ? sqlite3_column_blob(rows.get(), bytesColumn) : nullptr;
                const auto byteCount =
                    static_cast<std::size_t>(attached ? sqlite3_column_bytes(rows.get(), bytesColumn) : 0);
                const bool held = attached && byteCount <= kHeldAttachment;
                if (held && !read.records.empty() && read.heldTotal + byteCount > kHeldBytes) {
                    cut = true;
                    break;
                }
                ReadRecords::Record& record = read.records.emplace_back();
                record.rowid = sqlite3_column_int64(rows.get(), 0);
                record.id = ++id;
                record.firstField = read.fields.size();
                for (int i = 1; i <= static_cast<int>(columns.size()); ++i) {
                    ReadRecords::Field& field = read.fields.emplace_back();
                    if (const auto text = columnText(rows.get(), i)) {
                        field = {read.text.size(), text->size(), false};
                        read.text += *text;
                    }
                }
                if (!attached)
                    continue;
                record.attachmentSize = static_cast<qint64>(byteCount);
                if (held) {
                    record.holdsBytes = true;
                    record.heldBytes.assign(static_cast<const char*>(bytes), byteCount);
                    read.heldTotal += byteCount;
                    continue;
                }
                record.attachmentDigest =
                    readingSha256.hex(std::string_view(static_cast<const char*>(bytes), byteCount));
                if (record.attachmentDigest.empty())
                    return QStringLiteral("无法计算附件摘要");
                sqlite3_bind_int64(keepBytes.get(), 1, record.id);
                bindBytes(keepBytes.get(), 2, bytes, static_cast<int>(byteCount));
                const int kept = sqlite3_step(keepBytes.get());
                sqlite3_reset(keepBytes.get());
                if (kept != SQLITE_DONE)
                    return sqliteFailure(database);
            }
            const QString readFailure = !cut && step != SQLITE_DONE ? sqliteFailure(database) : QString();
            sqlite3_reset(rows.get());
            if (!readFailure.isEmpty())
                return readFailure;
            if (read.records.empty())
                break;

            std::string chainEnd = previous;
            bool worked = false;
            if (change) {
                const QString changed = read.rowidList();
                std::future<bool> work;
                try {
                    work = std::async(std::launch::async,
                                      [&] { return chainRecords(read, shape, chainEnd, chainSha256); });
                } catch (const std::system_error&) {
                    // No thread to be had (a limit on processes): worked out here, after the change.
                }
                const QString failure = change(changed);
                worked =
                    work.valid() ? work.get() : failure.isEmpty() && chainRecords(read, shape, chainEnd, chainSha256);
                if (!failure.isEmpty())
                    return failure;
            } else {
                worked = chainRecords(read, shape, chainEnd, chainSha256);
            }
            if (!worked)
                return QStringLiteral("无法计算链值");

            for (const ReadRecords::Record& record : read.records) {
                sqlite3_bind_int64(insert.get(), 1, record.id);
                if (const auto number = read.field(record, 0))
                    bindText(9, *number);
                else
                    sqlite3_bind_null(insert.get(), 9);
                bindText(10, record.before);
                if (record.attachmentSize) {
                    sqlite3_bind_int64(insert.get(), 11, *record.attachmentSize);
                    bindText(12, record.attachmentDigest);
                } else {
                    sqlite3_bind_null(insert.get(), 11);
                    sqlite3_bind_null(insert.get(), 12);
                }
                bindText(14, record.chain);
                const int inserted = sqlite3_step(insert.get());
                sqlite3_reset(insert.get());
                if (inserted != SQLITE_DONE)
                    return sqliteFailure(database);
                if (!record.holdsBytes)
                    continue;
                sqlite3_bind_int64(keepBytes.get(), 1, record.id);
                bindBytes(keepBytes.get(), 2, record.heldBytes.data(), static_cast<int>(record.heldBytes.size()));
                const int kept = sqlite3_step(keepBytes.get());
                sqlite3_reset(keepBytes.get());
                if (kept != SQLITE_DONE)
                    return sqliteFailure(database);
            }
            previous = std::move(chainEnd);
            if (!cut)
                break;
            sqlite3_bind_int64(rows.get(), 2, read.records.back().rowid);
        }
    }
    m_lastId = id;
    m_lastChain = QString::fromStdString(previous);
    return {};
}

QString AuditTrail::recordPeople()
{
    if (QString failure = begin(); !failure.isEmpty())
        return failure;
    QSqlQuery people(m_database);
    people.setForwardOnly(true);
    if (!people.exec(QStringLiteral("SELECT 姓名, 简称 FROM 人员信息表")))
        return sqlErrorText(people.lastError());
    std::vector<Entry> entries;
    while (people.next()) {
        Entry entry;
        entry.action = actionName(Action::ImportPeople);
        entry.table = QStringLiteral("人员信息表");
        entry.before = jsonText({QJsonArray{QStringLiteral("姓名"), jsonOf(textOrNull(people.value(0)))},
                                 QJsonArray{QStringLiteral("简称"), jsonOf(textOrNull(people.value(1)))}});
        entries.push_back(std::move(entry));
    }
    if (people.lastError().isValid())
        return sqlErrorText(people.lastError());
    people.finish();
    for (Entry& entry : entries) {
        if (QString failure = append(entry, std::nullopt, {}); !failure.isEmpty())
            return failure;
    }
    return {};
}

QString AuditTrail::recordEvent(Action action, const std::vector<std::pair<QString, QString>>& facts)
{
    if (QString failure = begin(); !failure.isEmpty())
        return failure;
    Entry entry;
    entry.action = actionName(action);
    QJsonArray pairs;
    for (const auto& [name, value] : facts)
        pairs.append(QJsonArray{name, value});
    entry.before = jsonText(pairs);
    return append(entry, std::nullopt, {});
}

QString AuditTrail::recordEventAlone(Action action, const std::vector<std::pair<QString, QString>>& facts)
{
    OwnTransaction transaction(m_database, m_server);
    if (!transaction.isOpen())
        return transaction.failure();
    m_begun = false;
    if (QString failure = recordEvent(action, facts); !failure.isEmpty()) {
        m_begun = false;
        return failure;
    }
    m_begun = false;
    m_insert.reset();
    m_keepBytes.reset();
    return transaction.commit() ? QString() : sqlErrorText(m_database.lastError());
}

QString AuditTrail::forEach(const Filter& filter, const std::function<void(const Entry&)>& visit) const
{
    QSqlQuery query(m_database);
    query.setForwardOnly(true);
    const QString present = m_server ? QStringLiteral("SELECT to_regclass('操作日志') IS NOT NULL")
                                     : QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = '操作日志'");
    if (!query.exec(present) || !query.next())
        return sqlErrorText(query.lastError());
    if (!query.value(0).toBool())
        return {};
    QString sql = QStringLiteral("SELECT %1 FROM 操作日志 WHERE 1 = 1").arg(entryColumns());
    QVariantList values;
    if (!filter.since.isEmpty()) {
        sql += QStringLiteral(" AND 本地时间 >= ?");
        values << filter.since;
    }
    if (!filter.number.isEmpty()) {
        sql += m_server ? QStringLiteral(" AND btrim(发文号, E' \\t') = ?")
                        : QStringLiteral(" AND trim(发文号, ' ' || char(9)) = ?");
        values << filter.number.trimmed();
    }
    if (!query.prepare(sql + QStringLiteral(" ORDER BY 编号")))
        return sqlErrorText(query.lastError());
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        return sqlErrorText(query.lastError());
    while (query.next())
        visit(entryOf(query));
    return query.lastError().isValid() ? sqlErrorText(query.lastError()) : QString();
}

AuditTrail::Verification AuditTrail::verify() const
{
    if (!m_server)
        return verifyFile();
    Verification result;
    QString previous = chainStart();
    qint64 previousId = 0;
    const QString failure = forEach({}, [&](const Entry& entry) {
        if (result.firstBad)
            return;
        ++result.rows;
        if (entry.id != previousId + 1) {
            result.firstBad = entry.id;
            result.reason = entry.id <= previousId
                                ? QStringLiteral("编号 %1 不在 %2 之后").arg(entry.id).arg(previousId)
                                : QStringLiteral("编号 %1 之前缺少第 %2 至 %3 行")
                                      .arg(entry.id)
                                      .arg(previousId + 1)
                                      .arg(entry.id - 1);
            return;
        }
        if (chainValue(previous, entry) != entry.chain) {
            result.firstBad = entry.id;
            result.reason =
                QStringLiteral("编号 %1 的链值不符：该行已被改动，或它之前的行被删除、替换或调换").arg(entry.id);
            return;
        }
        previous = entry.chain;
        previousId = entry.id;
    });
    if (!failure.isEmpty())
        result.reason = failure;
    return result;
}

// data.db: read through the database engine's own interface on the desk's
// connection (the driver's handle), so that a million rows are hashed
// straight from the stored UTF-8 bytes, without a copy per field.
AuditTrail::Verification AuditTrail::verifyFile() const
{
    Verification result;
    sqlite3* const database = sqliteHandle(m_database);
    if (!database) {
        result.reason = QStringLiteral("数据库没有打开");
        return result;
    }
    const auto present =
        prepareOn(database, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = '操作日志'"));
    if (!present || sqlite3_step(present.get()) != SQLITE_ROW) {
        result.reason = sqliteFailure(database);
        return result;
    }
    if (sqlite3_column_int(present.get(), 0) == 0)
        return result;
    const auto rows = prepareOn(database, QStringLiteral("SELECT %1 FROM 操作日志 ORDER BY 编号").arg(entryColumns()));
    if (!rows) {
        result.reason = sqliteFailure(database);
        return result;
    }
    constexpr int kContentFields = 13; // 编号 ... 关联; 链值 last
    Sha256 sha256;
    std::string previous = chainStart().toStdString();
    qint64 previousId = 0;
    std::string content;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(rows.get())) == SQLITE_ROW) {
        ++result.rows;
        const qint64 id = sqlite3_column_int64(rows.get(), 0);
        if (id != previousId + 1) {
            result.firstBad = id;
            result.reason =
                id <= previousId
                    ? QStringLiteral("编号 %1 不在 %2 之后").arg(id).arg(previousId)
                    : QStringLiteral("编号 %1 之前缺少第 %2 至 %3 行").arg(id).arg(previousId + 1).arg(id - 1);
            return result;
        }
        content.clear();
        for (int i = 0; i < kContentFields; ++i) {
            if (const auto text = columnText(rows.get(), i))
                appendNetstring(content, *text);
            else
                content += "N,";
        }
        std::string chain = sha256.hex(previous, content);
        if (chain.empty() || columnText(rows.get(), kContentFields) != std::string_view(chain)) {
            result.firstBad = id;
            result.reason = QStringLiteral("编号 %1 的链值不符：该行已被改动，或它之前的行被删除、替换或调换").arg(id);
            return result;
        }
        previous = std::move(chain);
        previousId = id;
    }
    if (step != SQLITE_DONE)
        result.reason = sqliteFailure(database);
    return result;
}

AuditTrail::Restoration AuditTrail::restore(qint64 id)
{
    Restoration result;
    const auto failed = [&](const QString& text) {
        result.outcome = Restoration::Outcome::Failed;
        result.text = text;
        return result;
    };
    const auto refused = [&](const QString& text) {
        result.outcome = Restoration::Outcome::Refused;
        result.text = text;
        return result;
    };
    OwnTransaction transaction(m_database, m_server);
    if (!transaction.isOpen())
        return failed(transaction.failure());
    m_begun = false;
    if (QString failure = begin(); !failure.isEmpty())
        return failed(failure);
    QSqlQuery query(m_database);
    query.prepare(QStringLiteral("SELECT %1 FROM 操作日志 WHERE 编号 = ?").arg(entryColumns()));
    query.addBindValue(id);
    if (!query.exec())
        return failed(sqlErrorText(query.lastError()));
    if (!query.next())
        return refused(QStringLiteral("操作日志中没有编号 %1").arg(id));
    const Entry entry = entryOf(query);
    query.finish();
    if ((entry.action != actionName(Action::DeleteRecord) && entry.action != actionName(Action::ReplaceRegistration)) ||
        !isRegister(entry.table))
        return refused(QStringLiteral("编号 %1 是“%2”，不是删除或覆盖的登记记录").arg(id).arg(entry.action));
    query.prepare(QStringLiteral("SELECT 编号 FROM 操作日志 WHERE 操作 = ? AND 关联 = ? ORDER BY 编号 LIMIT 1"));
    query.addBindValue(actionName(Action::RestoreRecord));
    query.addBindValue(id);
    if (!query.exec())
        return failed(sqlErrorText(query.lastError()));
    if (query.next())
        return refused(QStringLiteral("编号 %1 的记录已由编号 %2 恢复过").arg(id).arg(query.value(0).toLongLong()));

    // The record as logged: every column, in the register's order.
    const QJsonArray pairs = QJsonDocument::fromJson(entry.before.toUtf8()).array();
    QStringList columns;
    QVariantList values;
    for (const QJsonValue& pair : pairs) {
        const QString column = pair.toArray().at(0).toString();
        if (!registerColumns().contains(column) || columns.contains(column))
            return refused(QStringLiteral("编号 %1 的原记录无法读出").arg(id));
        columns << column;
        const QJsonValue value = pair.toArray().at(1);
        values << (value.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(value.toString()));
    }
    if (columns.isEmpty())
        return refused(QStringLiteral("编号 %1 的原记录无法读出").arg(id));
    if (entry.number) {
        // The register's own comparison, as a save asks whether a number is registered.
        query.prepare(m_server
                          ? QStringLiteral("SELECT 发文号 FROM %1 WHERE regdesk_fold(发文号) = regdesk_fold(?) LIMIT 1")
                                .arg(entry.table)
                          : QStringLiteral("SELECT 发文号 FROM %1 WHERE 发文号 = ? LIMIT 1").arg(entry.table));
        query.addBindValue(*entry.number);
        if (!query.exec())
            return failed(sqlErrorText(query.lastError()));
        if (query.next())
            return refused(
                QStringLiteral("%1 中现有发文号为“%2”的记录，未恢复").arg(entry.table, query.value(0).toString()));
    }
    QStringList holes;
    for (qsizetype i = 0; i < columns.size(); ++i)
        holes << QStringLiteral("?");
    query.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)%4")
                      .arg(entry.table, columns.join(QStringLiteral(", ")), holes.join(QStringLiteral(", ")),
                           m_server ? QStringLiteral(" RETURNING rowid") : QString()));
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        return failed(sqlErrorText(query.lastError()));
    if (m_server) {
        if (!query.next())
            return failed(sqlErrorText(query.lastError()));
        result.record = query.value(0).toLongLong();
    } else {
        result.record = query.lastInsertId().toLongLong();
    }
    query.finish();
    if (entry.attachmentSize) {
        query.prepare(QStringLiteral("UPDATE %1 SET 文件数据 = (SELECT 文件数据 FROM 回收站附件 WHERE 日志编号 = ?) "
                                     "WHERE rowid = ?")
                          .arg(entry.table));
        query.addBindValue(id);
        query.addBindValue(result.record);
        if (!query.exec())
            return failed(sqlErrorText(query.lastError()));
        query.prepare(
            m_server ? QStringLiteral("SELECT octet_length(文件数据), encode(sha256(文件数据), 'hex') FROM %1 "
                                      "WHERE rowid = ?")
                           .arg(entry.table)
                     : QStringLiteral("SELECT length(文件数据), 文件数据 FROM %1 WHERE rowid = ?").arg(entry.table));
        query.addBindValue(result.record);
        if (!query.exec() || !query.next())
            return failed(sqlErrorText(query.lastError()));
        const QString digest =
            m_server ? query.value(1).toString() : QString::fromLatin1(sha256Hex(query.value(1).toByteArray()));
        if (query.value(0).isNull() || query.value(0).toLongLong() != *entry.attachmentSize ||
            digest != entry.attachmentDigest)
            return refused(QStringLiteral("回收站中编号 %1 的附件已缺失或被改动，未恢复").arg(id));
        query.finish();
    }
    if (QString failure = recordRows(Action::RestoreRecord, entry.table, {result.record}, false, id);
        !failure.isEmpty())
        return failed(failure);
    if (!transaction.commit())
        return failed(sqlErrorText(m_database.lastError()));
    m_begun = false;
    result.outcome = Restoration::Outcome::Restored;
    result.text = QStringLiteral("编号 %1 的记录已恢复到 %2").arg(id).arg(entry.table);
    return result;
}

} // namespace regdesk
