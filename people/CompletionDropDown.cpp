#include "people/CompletionDropDown.h"

#include "platform/GbkQt.h"

#include <QHeaderView>
#include <QStyle>
#include <algorithm>

namespace regdesk {

void CompletionRowsModel::show(std::shared_ptr<const CompletionTable> table)
{
    beginResetModel();
    m_table = std::move(table);
    endResetModel();
}

int CompletionRowsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_table ? 0 : static_cast<int>(m_table->rows.size());
}

int CompletionRowsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_table ? 0 : static_cast<int>(m_table->columns.size());
}

QVariant CompletionRowsModel::data(const QModelIndex& index, int role) const
{
    if (!m_table || !index.isValid() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    const auto& row = m_table->rows[static_cast<std::size_t>(index.row())];
    const auto column = static_cast<std::size_t>(index.column());
    return column < row.size() ? toQString(row[column]) : QString();
}

QVariant CompletionRowsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (!m_table || orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        static_cast<std::size_t>(section) >= m_table->columns.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    return toQString(m_table->columns[static_cast<std::size_t>(section)]);
}

CompletionDropDown::CompletionDropDown(QWidget* parent) : QTableView(parent)
{
    setModel(&m_rows);
}

int CompletionDropDown::currentRow() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void CompletionDropDown::setCurrentCell(int row, int column)
{
    setCurrentIndex(m_rows.index(row, column));
}

QString CompletionDropDown::cellText(int row, int column) const
{
    return m_rows.index(row, column).data().toString();
}

QString CompletionDropDown::headerText(int column) const
{
    return m_rows.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}

void CompletionDropDown::fitColumnsToRows()
{
    // Measuring every cell's layout costs milliseconds on thousands of people.
    // In the desk's font a GBK character's width follows its byte count, so
    // only the cells longest in bytes are measured.
    constexpr std::size_t kMeasured = 16;
    const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
    const QFontMetrics metrics(font());
    for (int column = 0; column < columnCount(); ++column) {
        std::vector<const GbkString*> cells;
        if (const CompletionTable* table = m_rows.table()) {
            const auto j = static_cast<std::size_t>(column);
            for (const auto& row : table->rows) {
                if (j < row.size())
                    cells.push_back(&row[j]);
            }
        }
        const std::size_t measured = std::min(kMeasured, cells.size());
        std::partial_sort(cells.begin(), cells.begin() + static_cast<std::ptrdiff_t>(measured), cells.end(),
                          [](const GbkString* a, const GbkString* b) { return a->size() > b->size(); });
        int width = horizontalHeader()->sectionSizeHint(column);
        for (std::size_t i = 0; i < measured; ++i)
            width = std::max(width, metrics.horizontalAdvance(toQString(*cells[i])) + margin);
        setColumnWidth(column, width);
    }
}

} // namespace regdesk
