#include "list/RegisterListCtrl.h"

#include "db/AdoRecordset.h"
#include "list/ListText.h"
#include "people/CompletionEdit.h"
#include "platform/GbkQt.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>

namespace regdesk {

RegisterListCtrl::RegisterListCtrl(QWidget* parent) : QTableView(parent), m_model(new RegisterListModel(this))
{
    setModel(m_model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    // Fixed row heights keep a list of 100,000 rows quick to lay out.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionsMovable(true);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setMinimumSectionSize(0);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &RegisterListCtrl::headerClicked);
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { emit rowDoubleClicked(index.row()); });

    auto* editor = new CompletionEdit(viewport());
    editor->setObjectName(QStringLiteral("cellEditor"));
    editor->setProperty("controlId", kCellEditorId);
    editor->setAccessibleName(QStringLiteral("单元格编辑"));
    editor->setCellEditorRole(true);
    editor->hide();
    m_editor = editor;
    connect(editor, &CompletionEdit::advanceRequested, this, &RegisterListCtrl::advanceCellEdit);
    connect(editor, &CompletionEdit::tabPressed, this, [this] { setFocus(Qt::TabFocusReason); });
    connect(editor, &CompletionEdit::editingFocusLost, this, &RegisterListCtrl::commitCellEdit);
}

RegisterListCtrl::~RegisterListCtrl()
{
    // The editor's focus-out must not reach a half-destroyed list.
    if (m_editor)
        m_editor->disconnect(this);
}

void RegisterListCtrl::setupColumns(const GbkString& headers)
{
    for (const GbkString& item : splitListItems(headers))
        m_model->appendColumn(item);
}

void RegisterListCtrl::setColumnWidths(const GbkString& widths)
{
    const std::vector<GbkString> items = splitListItems(widths);
    const int columns = columnCount();
    for (std::size_t n = 0; n < items.size() && static_cast<int>(n) < columns; ++n)
        setColumnWidth(static_cast<int>(n), std::max(parseColumnWidth(items[n]), 0));
}

void RegisterListCtrl::fillFromRecordset(AdoRecordset& recordset)
{
    setUpdatesEnabled(false);
    m_model->insertRecordsAtTop(recordset);
    const int fields = std::min(recordset.fieldCount(), columnCount());
    for (int j = 0; j < fields; ++j)
        resizeColumnToContents(j);
    setUpdatesEnabled(true);
    viewport()->update();
}

void RegisterListCtrl::sortByColumn(int column, bool ascending)
{
    m_model->sortByColumn(column, ascending);
}

std::vector<int> RegisterListCtrl::selectedRowNumbers() const
{
    std::vector<int> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void RegisterListCtrl::selectRow(int row, bool add)
{
    const QModelIndex index = m_model->index(row, 0);
    if (!index.isValid())
        return;
    selectionModel()->select(index, (add ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect) |
                                        QItemSelectionModel::Rows);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
}

void RegisterListCtrl::deleteSelectedRows()
{
    const std::vector<int> rows = selectedRowNumbers();
    // Remove runs of adjacent rows from the bottom up, so row numbers stay valid.
    for (std::size_t end = rows.size(); end > 0;) {
        std::size_t start = end - 1;
        while (start > 0 && rows[start - 1] == rows[start] - 1)
            --start;
        m_model->removeRows(rows[start], static_cast<int>(end - start));
        end = start;
    }
    viewport()->update();
}

void RegisterListCtrl::mousePressEvent(QMouseEvent* event)
{
    QTableView::mousePressEvent(event);
    if (event->button() != Qt::LeftButton || m_editing)
        return;
    const QModelIndex hit = indexAt(event->position().toPoint());
    if (!hit.isValid())
        return;
    m_editRow = hit.row();
    m_editColumn = hit.column();
    m_editing = beginCellEdit(m_editRow, m_editColumn);
}

bool RegisterListCtrl::beginCellEdit(int row, int column)
{
    if (m_editingDisabled || !m_editor)
        return false;
    const QModelIndex index = m_model->index(row, column);
    if (!index.isValid())
        return false;
    scrollTo(index);
    const QRect cell = visualRect(index);
    if (!cell.isValid())
        return false;
    m_editRow = row;
    m_editColumn = column;
    // The editor is half as large again as the cell, so longer texts fit.
    m_editor->setGeometry(cell.left(), cell.top(), cell.width() * 3 / 2, cell.height() * 3 / 2);
    m_editor->setText(toQString(m_model->cellText(row, column)));
    m_editor->show();
    m_editor->raise();
    m_editor->selectAll();
    m_editor->setFocus(Qt::OtherFocusReason);
    emit cellEditorOpened();
    return true;
}

void RegisterListCtrl::commitCellEdit()
{
    if (m_committing || !m_editor || m_editor->isHidden())
        return;
    m_committing = true;
    m_model->setCellText(m_editRow, m_editColumn, fromQString(m_editor->text()));
    // Hand the focus to the list first, so hiding the editor does not move it
    // on to some other field of the form.
    if (m_editor->hasFocus())
        setFocus(Qt::OtherFocusReason);
    m_editor->hide();
    m_editing = false;
    m_committing = false;
    emit cellEditCommitted();
}

void RegisterListCtrl::moveEditToRow(int row)
{
    commitCellEdit();
    m_editRow = row;
    m_editing = beginCellEdit(row, m_editColumn);
}

void RegisterListCtrl::moveEditToColumn(int column)
{
    commitCellEdit();
    m_editColumn = column;
    m_editing = beginCellEdit(m_editRow, column);
}

void RegisterListCtrl::advanceCellEdit()
{
    const int k = m_editColumn;
    const int n = std::min(columnCount(), kMaxColumns);
    QScrollBar* scroll = horizontalScrollBar();
    if (k < n - 1) {
        scroll->setValue(scroll->value() + 20 * k);
        moveEditToColumn(k + 1);
        return;
    }
    scroll->setValue(scroll->value() - 20 * k);
    // The finished cell is written where it belongs before the editor moves
    // to the first cell of the next row.
    commitCellEdit();
    if (m_editRow >= rowCount() - 1)
        m_model->appendRow({});
    m_editColumn = 0;
    moveEditToRow(m_editRow + 1);
}

} // namespace regdesk
