#pragma once

#include "platform/Gbk.h"

#include <QAbstractTableModel>
#include <cstdint>
#include <vector>

namespace regdesk {

class AdoRecordset;

// The rows of a register list: GBK cells and one 32-bit item value per row.
// An item value equal to a Windows colour value of red (0x0000FF), green
// (0x00FF00) or blue (0xFF0000) draws the row's text in that colour.
// Texts are converted for display only when a cell is painted, so the model
// holds 100,000 rows cheaply.
class RegisterListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr std::uint32_t kRed = 0x000000FF;
    static constexpr std::uint32_t kGreen = 0x0000FF00;
    static constexpr std::uint32_t kBlue = 0x00FF0000;

    explicit RegisterListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool removeRows(int row, int count, const QModelIndex& parent = {}) override;

    // Columns are only ever appended; rows get an empty cell for each.
    void appendColumn(const GbkString& header);
    const GbkString& header(int column) const;

    // Inserts `count` empty rows before `row` (item value 0).
    void insertEmptyRows(int row, int count);
    // Inserts one row; cells beyond the columns are dropped.
    void insertRow(int row, std::vector<GbkString> cells, std::uint32_t itemValue = 0);
    void appendRow(std::vector<GbkString> cells, std::uint32_t itemValue = 0);
    // Appends many rows at once; itemValues[i] (0 when missing) and
    // recordIds[i] (kNoRecord when missing) go with rows[i].
    void appendRows(std::vector<std::vector<GbkString>> rows, const std::vector<std::uint32_t>& itemValues = {},
                    const std::vector<qint64>& recordIds = {});
    void clearRows();

    const GbkString& cellText(int row, int column) const;
    // Cells outside the table are left alone, as the list view does.
    void setCellText(int row, int column, GbkString text);
    const std::vector<GbkString>& rowCells(int row) const;
    std::uint32_t itemValue(int row) const;
    void setItemValue(int row, std::uint32_t value);
    // The register record a row shows (its row id), which the trimmed texts
    // of the cells cannot tell apart from a namesake; kNoRecord for rows made
    // in the view. It travels with its row through sorts and removals.
    static constexpr qint64 kNoRecord = -1;
    qint64 recordId(int row) const;

    // Inserts every record of the recordset at the top, field j into column j.
    void insertRecordsAtTop(AdoRecordset& recordset);

    // Orders the rows by the text of one column, GBK-aware and without regard
    // to ASCII case; rows with equal texts keep their order. Item values
    // (colour codes) travel with their rows.
    void sortByColumn(int column, bool ascending);

private:
    struct Row
    {
        std::vector<GbkString> cells;
        std::uint32_t itemValue = 0;
        qint64 recordId = kNoRecord;
    };

    bool isCell(int row, int column) const;

    std::vector<GbkString> m_headers;
    std::vector<Row> m_rows;
};

} // namespace regdesk
