#pragma once

#include <QSqlDatabase>
#include <QString>
#include <functional>
#include <vector>

namespace regdesk {

// What one table holds, as counted on one side of a copy.
struct TableCount
{
    QString table;
    qint64 records = 0;
    qint64 attachments = 0;     // records with 文件数据
    qint64 attachmentBytes = 0; // bytes of all 文件数据
    bool operator==(const TableCount&) const = default;
};

struct RegisterCopyReport
{
    QString failure;                // empty when the copy was committed
    bool refusedNotEmpty = false;   // the target held records and appending was not asked for
    std::vector<TableCount> source; // data.db
    std::vector<TableCount> before; // the server's register before the copy
    std::vector<TableCount> after;  // ... after it, counted inside the copy's transaction
    std::vector<qint64> written;    // records written per table
};

// Copies every registration (attachments included) and the personnel table
// from a data.db into the PostgreSQL register, in one transaction that holds
// the target's tables against the desks. The target must be empty unless
// `append`; appending leaves out people the target already has. Before the
// commit, the target's counts must equal its counts before plus what was
// read; otherwise nothing is kept. `progress` hears of every thousand records.
RegisterCopyReport copyRegister(const QSqlDatabase& source, const QSqlDatabase& target, bool append,
                                const std::function<void(const QString& table, qint64 records)>& progress = {});

} // namespace regdesk
