#pragma once

#include "people/NameCompletion.h"

#include <QAbstractTableModel>
#include <QTableView>
#include <memory>

namespace regdesk {

// The rows of a completion as a table model. Cells become Qt text only when the
// view asks for them, so listing thousands of people costs what is on screen.
class CompletionRowsModel : public QAbstractTableModel
{
public:
    using QAbstractTableModel::QAbstractTableModel;

    void show(std::shared_ptr<const CompletionTable> table);
    // The rows shown; null before the first show.
    const CompletionTable* table() const { return m_table.get(); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::shared_ptr<const CompletionTable> m_table;
};

// The floating list of a name completion.
class CompletionDropDown : public QTableView
{
public:
    explicit CompletionDropDown(QWidget* parent);

    void showRows(std::shared_ptr<const CompletionTable> table) { m_rows.show(std::move(table)); }
    int rowCount() const { return m_rows.rowCount(); }
    int columnCount() const { return m_rows.columnCount(); }
    // The marked row; -1 when none is.
    int currentRow() const;
    void setCurrentCell(int row, int column);
    QString cellText(int row, int column) const;
    QString headerText(int column) const;
    // Sizes each column to its header and its widest cell over all rows.
    void fitColumnsToRows();

private:
    CompletionRowsModel m_rows;
};

} // namespace regdesk
