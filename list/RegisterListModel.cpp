#include "list/RegisterListModel.h"

#include "db/AdoRecordset.h"
#include "list/ListText.h"
#include "platform/GbkQt.h"

#include <QColor>
#include <algorithm>

namespace regdesk {
namespace {

const GbkString& emptyText()
{
    static const GbkString empty;
    return empty;
}

} // namespace

RegisterListModel::RegisterListModel(QObject* parent) : QAbstractTableModel(parent) {}

int RegisterListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int RegisterListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
}

bool RegisterListModel::isCell(int row, int column) const
{
    return row >= 0 && column >= 0 && static_cast<std::size_t>(row) < m_rows.size() &&
           static_cast<std::size_t>(column) < m_headers.size();
}

QVariant RegisterListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !isCell(index.row(), index.column()))
        return {};
    const Row& row = m_rows[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::ToolTipRole:
        return toQString(row.cells[static_cast<std::size_t>(index.column())]);
    case Qt::ForegroundRole:
        switch (row.itemValue) {
        case kRed:
            return QColor(Qt::red);
        case kGreen:
            return QColor(0, 255, 0);
        case kBlue:
            return QColor(Qt::blue);
        default:
            return {};
        }
    default:
        return {};
    }
}

QVariant RegisterListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || static_cast<std::size_t>(section) >= m_headers.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return toQString(m_headers[static_cast<std::size_t>(section)]);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

bool RegisterListModel::removeRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || row < 0 || count <= 0 || static_cast<std::size_t>(row + count) > m_rows.size())
        return false;
    beginRemoveRows({}, row, row + count - 1);
    m_rows.erase(m_rows.begin() + row, m_rows.begin() + row + count);
    endRemoveRows();
    return true;
}

void RegisterListModel::appendColumn(const GbkString& header)
{
    const int column = static_cast<int>(m_headers.size());
    beginInsertColumns({}, column, column);
    m_headers.push_back(header);
    for (Row& row : m_rows)
        row.cells.emplace_back();
    endInsertColumns();
}

const GbkString& RegisterListModel::header(int column) const
{
    if (column < 0 || static_cast<std::size_t>(column) >= m_headers.size())
        return emptyText();
    return m_headers[static_cast<std::size_t>(column)];
}

void RegisterListModel::insertEmptyRows(int row, int count)
{
    row = std::clamp(row, 0, static_cast<int>(m_rows.size()));
    if (count <= 0)
        return;
    beginInsertRows({}, row, row + count - 1);
    m_rows.insert(m_rows.begin() + row, static_cast<std::size_t>(count),
                  Row{std::vector<GbkString>(m_headers.size()), 0, kNoRecord});
    endInsertRows();
}

void RegisterListModel::insertRow(int row, std::vector<GbkString> cells, std::uint32_t itemValue)
{
    row = std::clamp(row, 0, static_cast<int>(m_rows.size()));
    cells.resize(m_headers.size());
    beginInsertRows({}, row, row);
    m_rows.insert(m_rows.begin() + row, Row{std::move(cells), itemValue, kNoRecord});
    endInsertRows();
}

void RegisterListModel::appendRow(std::vector<GbkString> cells, std::uint32_t itemValue)
{
    insertRow(static_cast<int>(m_rows.size()), std::move(cells), itemValue);
}

void RegisterListModel::appendRows(std::vector<std::vector<GbkString>> rows,
                                   const std::vector<std::uint32_t>& itemValues, const std::vector<qint64>& recordIds)
{
    if (rows.empty())
        return;
    const int first = static_cast<int>(m_rows.size());
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    m_rows.reserve(m_rows.size() + rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i].resize(m_headers.size());
        m_rows.push_back(Row{std::move(rows[i]), i < itemValues.size() ? itemValues[i] : 0,
                             i < recordIds.size() ? recordIds[i] : kNoRecord});
    }
    endInsertRows();
}

void RegisterListModel::clearRows()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

const GbkString& RegisterListModel::cellText(int row, int column) const
{
    if (!isCell(row, column))
        return emptyText();
    return m_rows[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
}

void RegisterListModel::setCellText(int row, int column, GbkString text)
{
    if (!isCell(row, column))
        return;
    m_rows[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)] = std::move(text);
    const QModelIndex changed = index(row, column);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
}

const std::vector<GbkString>& RegisterListModel::rowCells(int row) const
{
    static const std::vector<GbkString> none;
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size())
        return none;
    return m_rows[static_cast<std::size_t>(row)].cells;
}

std::uint32_t RegisterListModel::itemValue(int row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size())
        return 0;
    return m_rows[static_cast<std::size_t>(row)].itemValue;
}

qint64 RegisterListModel::recordId(int row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size())
        return kNoRecord;
    return m_rows[static_cast<std::size_t>(row)].recordId;
}

void RegisterListModel::setItemValue(int row, std::uint32_t value)
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size())
        return;
    m_rows[static_cast<std::size_t>(row)].itemValue = value;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1), {Qt::ForegroundRole});
}

void RegisterListModel::insertRecordsAtTop(AdoRecordset& recordset)
{
    const int count = recordset.recordCount();
    const int fields = recordset.fieldCount();
    if (count <= 0)
        return;
    // Each cell is read by its field's name, as the list always has: with two
    // fields of one name both cells show the first. Names are resolved once.
    std::vector<int> sourceOf;
    for (int j = 0; j < fields && static_cast<std::size_t>(j) < m_headers.size(); ++j) {
        const GbkString name = recordset.fieldName(j);
        int source = j;
        for (int k = 0; k < j; ++k) {
            if (compareGbkNoCase(recordset.fieldName(k), name) == 0) {
                source = k;
                break;
            }
        }
        sourceOf.push_back(source);
    }
    std::vector<Row> records;
    records.reserve(static_cast<std::size_t>(count));
    for (recordset.moveFirst(); !recordset.isEof() && records.size() < static_cast<std::size_t>(count);
         recordset.moveNext()) {
        Row row{std::vector<GbkString>(m_headers.size()), 0, kNoRecord};
        for (std::size_t j = 0; j < sourceOf.size(); ++j)
            row.cells[j] = j == static_cast<std::size_t>(sourceOf[j])
                               ? recordset.fieldText(sourceOf[j])
                               : row.cells[static_cast<std::size_t>(sourceOf[j])];
        records.push_back(std::move(row));
    }
    beginInsertRows({}, 0, static_cast<int>(records.size()) - 1);
    m_rows.insert(m_rows.begin(), std::make_move_iterator(records.begin()), std::make_move_iterator(records.end()));
    endInsertRows();
}

void RegisterListModel::sortByColumn(int column, bool ascending)
{
    if (column < 0 || static_cast<std::size_t>(column) >= m_headers.size() || m_rows.size() < 2)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Keys made once per row turn every comparison into a plain byte compare.
    struct Keyed
    {
        std::string key;
        int row;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(m_rows.size());
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        keyed.push_back(Keyed{gbkSortKey(m_rows[i].cells[static_cast<std::size_t>(column)]), static_cast<int>(i)});
    std::stable_sort(keyed.begin(), keyed.end(),
                     [ascending](const Keyed& a, const Keyed& b) { return ascending ? a.key < b.key : b.key < a.key; });
    std::vector<int> order;
    order.reserve(keyed.size());
    for (const Keyed& entry : keyed)
        order.push_back(entry.row);
    std::vector<Row> sorted;
    sorted.reserve(m_rows.size());
    std::vector<int> newPosition(m_rows.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        newPosition[static_cast<std::size_t>(order[i])] = static_cast<int>(i);
        sorted.push_back(std::move(m_rows[static_cast<std::size_t>(order[i])]));
    }
    m_rows = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before)
        after.push_back(index(newPosition[static_cast<std::size_t>(old.row())], old.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace regdesk
