#include "db/AdoRecordset.h"

#include "db/AdoDatabase.h"
#include "db/BlobBuffer.h"
#include "db/ServerAddress.h"
#include "db/SqlDialect.h"
#include "platform/GbkQt.h"
#include "platform/Prompter.h"
#include "platform/Text.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

namespace regdesk {
namespace {

QString describe(const QSqlError& error)
{
    return sqlErrorText(error);
}

GbkString trimmed(const GbkString& text)
{
    return GbkString(trimBlanks(text));
}

GbkString variantText(const QVariant& value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::QByteArray)
        return trimmed(value.toByteArray().toStdString());
    return trimmed(fromQString(value.toString()));
}

} // namespace

BlobBuffer& BlobBuffer::instance()
{
    static BlobBuffer buffer;
    return buffer;
}

void AdoRecordset::reportFailure(const QString& description) const
{
    if (const auto& connection = AdoDatabase::activeConnection())
        connection->prompter().ask(nullptr, Prompter::Message{description, QString()});
}

bool AdoRecordset::execute(QSqlQuery& query, const GbkString& sql, int commandKind)
{
    query.setForwardOnly(true);
    const auto& connection = AdoDatabase::activeConnection();
    const QString statement = commandKind == kCommandTable ? QStringLiteral("SELECT * FROM ") + toQString(sql)
                                                           : SqlDialect::translate(sql, connection->kind());
    if (!query.exec(statement)) {
        reportFailure(describe(query.lastError()));
        return false;
    }
    return true;
}

bool AdoRecordset::openQuery(const GbkString& sql, int commandKind)
{
    close();
    m_sourceText = commandKind == kCommandTable ? sql : "(" + sql + ") DERIVEDTBL";
    const auto& connection = AdoDatabase::activeConnection();
    if (!connection)
        return false;
    QSqlQuery query(QSqlDatabase::database(connection->name(), false));
    if (!execute(query, sql, commandKind))
        return false;
    m_open = true;
    if (query.isSelect()) {
        const QSqlRecord record = query.record();
        const int columns = record.count();
        for (int i = 0; i < columns; ++i) {
            m_columnNames.push_back(record.fieldName(i));
            m_columnTypes.push_back(record.field(i).metaType().id());
        }
        while (query.next()) {
            std::vector<QVariant> row;
            row.reserve(static_cast<std::size_t>(columns));
            for (int i = 0; i < columns; ++i)
                row.push_back(query.value(i));
            m_rows.push_back(std::move(row));
        }
        if (query.lastError().isValid()) {
            reportFailure(describe(query.lastError()));
            close();
            return false;
        }
    }
    return true;
}

bool AdoRecordset::forEachRow(const GbkString& sql, const std::function<void(const std::vector<QVariant>&)>& row)
{
    close();
    m_sourceText = "(" + sql + ") DERIVEDTBL";
    const auto& connection = AdoDatabase::activeConnection();
    if (!connection)
        return false;
    QSqlQuery query(QSqlDatabase::database(connection->name(), false));
    if (!execute(query, sql, kCommandText))
        return false;
    const int columns = query.record().count();
    std::vector<QVariant> values(static_cast<std::size_t>(columns));
    while (query.next()) {
        for (int i = 0; i < columns; ++i)
            values[static_cast<std::size_t>(i)] = query.value(i);
        row(values);
    }
    if (query.lastError().isValid()) {
        reportFailure(describe(query.lastError()));
        return false;
    }
    return true;
}

GbkString AdoRecordset::fieldText(const GbkString& column) const
{
    const QString name = toQString(column);
    for (std::size_t i = 0; i < m_columnNames.size(); ++i) {
        if (m_columnNames[i].compare(name, Qt::CaseInsensitive) == 0)
            return fieldText(static_cast<int>(i));
    }
    return {};
}

GbkString AdoRecordset::fieldText(int index) const
{
    if (m_position >= m_rows.size() || index < 0 || static_cast<std::size_t>(index) >= m_columnNames.size())
        return {};
    return variantText(m_rows[m_position][static_cast<std::size_t>(index)]);
}

GbkString AdoRecordset::fieldName(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_columnNames.size())
        return {};
    return trimmed(fromQString(m_columnNames[static_cast<std::size_t>(index)]));
}

GbkString AdoRecordset::fieldTypeName(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_columnTypes.size())
        return "未知类型"_gbk;
    switch (m_columnTypes[static_cast<std::size_t>(index)]) {
    case QMetaType::Bool:
        return "逻辑型"_gbk;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::QByteArray: // long binary counts with the numbers, as it always has
        return "数值型"_gbk;
    case QMetaType::QString:
        return "字符型"_gbk;
    case QMetaType::QDate:
    case QMetaType::QTime:
    case QMetaType::QDateTime:
        return "日期型"_gbk;
    default:
        return "未知类型"_gbk;
    }
}

int AdoRecordset::fieldCount() const
{
    if (!m_open || m_columnNames.empty())
        return -1;
    return static_cast<int>(m_columnNames.size());
}

int AdoRecordset::recordCount()
{
    if (!m_open)
        return 0;
    m_position = 0;
    return static_cast<int>(m_rows.size());
}

bool AdoRecordset::moveFirst()
{
    if (!m_open || m_columnNames.empty()) {
        reportFailure(QStringLiteral("对象关闭时，不允许操作。"));
        return false;
    }
    m_position = 0;
    return true;
}

bool AdoRecordset::moveNext()
{
    if (!m_open || m_position >= m_rows.size()) {
        reportFailure(
            QStringLiteral("BOF 或 EOF 中有一个是“真”，或者当前的记录已被删除，所需的操作要求一个当前的记录。"));
        return false;
    }
    ++m_position;
    return true;
}

bool AdoRecordset::moveTo(int row)
{
    if (!moveFirst())
        return false;
    for (int i = 0; i < row; ++i) {
        if (!moveNext())
            return false;
    }
    return true;
}

bool AdoRecordset::isEof() const
{
    return m_position >= m_rows.size();
}

void AdoRecordset::close()
{
    m_open = false;
    m_columnNames.clear();
    m_columnTypes.clear();
    m_rows.clear();
    m_position = 0;
}

bool AdoRecordset::writeBlob(const GbkString& sql)
{
    const auto& connection = AdoDatabase::activeConnection();
    if (!connection)
        return false;
    const std::optional<QString> update = SqlDialect::blobUpdateFor(sql, connection->kind());
    if (!update)
        return false;
    QSqlQuery query(QSqlDatabase::database(connection->name(), false));
    const BlobBuffer& blob = BlobBuffer::instance();
    // An empty but non-null array: a zero-byte file is still an attachment.
    QByteArray bytes = blob.bytes.left(blob.length);
    if (bytes.isNull())
        bytes = QByteArray("", 0);
    if (!query.prepare(*update)) {
        reportFailure(describe(query.lastError()));
        return false;
    }
    query.addBindValue(bytes);
    if (!query.exec()) {
        reportFailure(describe(query.lastError()));
        return false;
    }
    return query.numRowsAffected() > 0;
}

bool AdoRecordset::readBlob(const GbkString& sql)
{
    const auto& connection = AdoDatabase::activeConnection();
    if (!connection)
        return false;
    QSqlQuery query(QSqlDatabase::database(connection->name(), false));
    query.setForwardOnly(true);
    if (!query.exec(SqlDialect::translate(sql, connection->kind()))) {
        reportFailure(describe(query.lastError()));
        return false;
    }
    if (!query.next())
        return false;
    BlobBuffer& blob = BlobBuffer::instance();
    const QByteArray bytes = query.value(0).toByteArray();
    blob.length = bytes.size();
    if (blob.length != 0)
        blob.bytes = bytes;
    return true;
}

} // namespace regdesk
