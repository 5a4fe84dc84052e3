#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace regdesk {

// The register's trail of everything deleted or replaced: 操作日志, one row
// per changed record with the record as it was, and 回收站附件, the bytes of
// each attachment that went. Every writer calls it inside the transaction of
// its change, before the change or (recordAndChange) around it, so both are
// kept or neither; a failure here must end that transaction uncommitted. Rows
// are never deleted by the desk.
//
// The chain: 链值 of row n = lowercase hex of SHA-256(链值 of row n-1, as its
// 64 ASCII characters, 64 "0" before the first row; then the content of row
// n). The content is the fields 编号, 时间, 本地时间, 用户, 主机, 进程, 操作,
// 表名, 发文号, 原记录, 附件大小, 附件摘要, 关联 in this order, each written
// as its UTF-8 byte length in decimal, ":", the UTF-8 bytes and "," (a
// netstring; integers as decimal text), a NULL field as "N,". An edited,
// deleted, inserted or reordered row no longer fits; 编号 counts up by one,
// so a removed row also leaves a gap.
class AuditTrail
{
public:
    enum class Action
    {
        DeleteRecord,        // 删除记录: F12 + Delete
        ReplaceRegistration, // 覆盖登记: a save that replaces the records of its 发文号
        DeleteAttachment,    // 删除附件: F8 + Delete, or an attachment stored over another
        ImportPeople,        // 导入人员: one row per person the import replaces
        Compact,             // 压缩库
        Backup,              // 备份库
        CopyRegister,        // 复制登记库
        RestoreRecord,       // 恢复记录
    };
    static QString actionName(Action action);

    static constexpr const char* kLogTable = "操作日志";
    static constexpr const char* kBinTable = "回收站附件";
    // The first row's predecessor in the chain.
    static QString chainStart() { return QString(64, u'0'); }

    // A row of 操作日志 as stored.
    struct Entry
    {
        qint64 id = 0;
        QString utcTime;   // 时间: ISO 8601, UTC
        QString localTime; // 本地时间: ISO 8601 with the offset
        QString user;
        QString host;
        qint64 process = 0;
        QString action;
        QString table;
        std::optional<QString> number; // 发文号 exactly as stored, blanks included
        QString before;                // 原记录: JSON array of [column, text or null]
        std::optional<qint64> attachmentSize;
        std::optional<QString> attachmentDigest; // SHA-256, lowercase hex
        std::optional<qint64> refersTo;          // 关联: the row a restore brought back
        QString chain;
    };
    // The bytes the chain hashes for `entry` (its 链值 aside).
    static QByteArray canonicalContent(const Entry& entry);
    static QString chainValue(const QString& previous, const Entry& entry);

    // One trail per transaction: it reads the chain's head once, at its first row.
    explicit AuditTrail(QSqlDatabase database);

    // The records `ids` of a register (发文登记表 or 收文登记表) as they are
    // now, one row each, their attachments into 回收站附件. With
    // `onlyWithAttachment` records without an attachment are passed over.
    QString recordRows(Action action, const QString& table, const std::vector<qint64>& ids,
                       bool onlyWithAttachment = false, std::optional<qint64> refersTo = std::nullopt);
    // Makes a change to records of a register: given the ids of some of
    // `ids` as a JSON array, changes those records and returns empty or why
    // not. Logs each record as recordRows does, before its change takes
    // effect; on data.db the records go in groups of a thousand, each read,
    // changed and then logged, the change's failure returned as it is. Outside
    // a transaction it takes one of its own for the whole.
    using Change = std::function<QString(const QString& idList)>;
    QString recordAndChange(Action action, const QString& table, const std::vector<qint64>& ids, const Change& change);
    // Every row of 人员信息表, one row each.
    QString recordPeople();
    // One row for an action on the whole register; `facts` are its (name, text).
    QString recordEvent(Action action, const std::vector<std::pair<QString, QString>>& facts);
    // The same in a transaction of its own, for work outside any change.
    QString recordEventAlone(Action action, const std::vector<std::pair<QString, QString>>& facts);

    struct Filter
    {
        QString since;  // the rows of that local date ("YYYY-MM-DD") and later
        QString number; // the rows whose 发文号, trimmed, equals this, trimmed
    };
    // Calls `visit` for each row, in 编号 order. A register without the trail
    // has no rows. Empty on success, else the database's complaint.
    QString forEach(const Filter& filter, const std::function<void(const Entry&)>& visit) const;

    struct Verification
    {
        qint64 rows = 0;
        std::optional<qint64> firstBad; // 编号 of the first row that does not fit
        QString reason;                 // why (or the database's complaint)
    };
    Verification verify() const;

    struct Restoration
    {
        enum class Outcome
        {
            Restored,
            Refused, // `text` says why: no such row, not a record, restored already, the number exists
            Failed,  // the database's complaint in `text`
        };
        Outcome outcome = Outcome::Failed;
        QString text;
        qint64 record = 0; // the row id of the record put back
    };
    // Puts the record of log row `id` (删除记录 or 覆盖登记) back into its
    // register with its attachment, and logs that, in one transaction.
    Restoration restore(qint64 id);

    // The two tables, made in the caller's transaction when missing.
    static QStringList schemaStatements(bool server);

private:
    // Takes the chain's lock, makes the tables when missing, reads the head.
    QString begin();
    QString recordFileRows(Action action, const QString& table, const std::vector<qint64>& ids, const QString& only,
                           std::optional<qint64> refersTo, const Change& change);
    QString append(Entry& entry, const std::optional<qint64>& sourceRowForBytes, const QString& sourceTable);
    // The rows of one change share its moment, user, host and process.
    void stamp(Entry& entry) const;
    Verification verifyFile() const;

    QSqlDatabase m_database;
    bool m_server;
    bool m_begun = false;
    Entry m_stamp;
    // Prepared once per change: a deletion of many records writes many rows.
    std::optional<QSqlQuery> m_insert;
    std::optional<QSqlQuery> m_keepBytes;
    QString m_keepBytesTable;
    qint64 m_lastId = 0;
    QString m_lastChain;
};

} // namespace regdesk
