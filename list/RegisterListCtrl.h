#pragma once

#include "list/RegisterListModel.h"
#include "people/CompletionEdit.h"
#include "platform/Gbk.h"

#include <QPointer>
#include <QTableView>

namespace regdesk {

class AdoRecordset;

// The direction flag an owner window keeps for header-click sorting: one flag
// for all columns, inverted after every click. The first click sorts ascending.
class AlternatingSortOrder
{
public:
    // The direction for this click; the next click gets the other one.
    bool nextAscending()
    {
        const bool current = m_ascending;
        m_ascending = !m_ascending;
        return current;
    }

private:
    bool m_ascending = true;
};

// The grid of register rows in the desk's windows: columns from two
// comma-separated strings, rows from a recordset, per-row text colours,
// sorting by a column's text, removal of selected rows and an in-place cell
// editor. Edits and removals change the view only, never the database.
class RegisterListCtrl : public QTableView
{
    Q_OBJECT

public:
    static constexpr int kCellEditorId = 101;
    static constexpr int kMaxColumns = 255;

    explicit RegisterListCtrl(QWidget* parent = nullptr);
    ~RegisterListCtrl() override;

    RegisterListModel& listModel() { return *m_model; }
    const RegisterListModel& listModel() const { return *m_model; }
    int rowCount() const { return m_model->rowCount(); }
    int columnCount() const { return m_model->columnCount(); }

    // One left-aligned column per comma-separated item, blanks kept.
    void setupColumns(const GbkString& headers);
    // Width n (pixels) for column n; items beyond the last column are ignored.
    void setColumnWidths(const GbkString& widths);
    // Inserts the recordset's rows at the top and sizes the columns to fit.
    void fillFromRecordset(AdoRecordset& recordset);
    void sortByColumn(int column, bool ascending);
    void deleteSelectedRows();
    void removeAllRows() { m_model->clearRows(); }

    // Rows of the current selection, ascending.
    std::vector<int> selectedRowNumbers() const;
    void selectRow(int row, bool add = false);

    // The owner sets this while initialising; clicks then only select rows.
    void setEditingDisabled(bool disabled) { m_editingDisabled = disabled; }
    bool editingDisabled() const { return m_editingDisabled; }
    bool isEditing() const { return m_editing; }

    bool beginCellEdit(int row, int column);
    void commitCellEdit();
    void moveEditToRow(int row);
    void moveEditToColumn(int column);
    // Enter in the editor: the next cell to the right, else the first cell of
    // the next row, appending an empty row after the last.
    void advanceCellEdit();
    int editRow() const { return m_editRow; }
    int editColumn() const { return m_editColumn; }
    CompletionEdit* cellEditor() const { return m_editor; }

signals:
    void cellEditorOpened();  // the private message 102 of the desk's lists
    void cellEditCommitted(); // 103
    void headerClicked(int column);
    void rowDoubleClicked(int row);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    QPointer<RegisterListModel> m_model;
    QPointer<CompletionEdit> m_editor;
    bool m_editingDisabled = false;
    bool m_editing = false;
    bool m_committing = false;
    int m_editRow = 0;
    int m_editColumn = 0;
};

} // namespace regdesk
