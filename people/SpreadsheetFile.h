#pragma once

#include "people/XlsFormulaScan.h"
#include "platform/Gbk.h"

#include <cstdint>
#include <vector>

namespace regdesk {

// A whole worksheet of an .xls workbook, or a delimited text file, read into
// memory at construction and handed out row by row and cell by cell as GBK
// text. Rows are numbered from 1; in sheet mode row 1 holds the column names.
//
// Sheet mode (a name ending in ".xls", any case) reads the workbook with
// freexl: the worksheet is found by name without regard to case; numbers come
// out as text, integers without a decimal point; a formula cell reads as
// empty text (freexl does not take its stored result), and isFormulaCell()
// tells such a cell from a blank one. Each row is kept as its cells, each in
// double quotes, joined by ",;.?"; a cell holding quote-separator-quote
// itself is cut there when read.
//
// Text mode (any other name) keeps one row per line; the second construction
// argument is the cell separator.
//
// A converted sheet is the sheet at a position of a flat OpenDocument file
// (.fods) that LibreOffice made of an .xlsx or .ods; its rows are kept as in
// sheet mode, with the cells' texts as the sheet shows them.
//
// Only regular files are read, of at most kMaxFileBytes: a FIFO, a device or
// a link to one, or an oversized file reads as nothing (total rows 0). A
// sheet whose row texts together pass kMaxTextBytes (an .xls can repeat one
// long shared text in every cell, a flat file repeat a row a million times)
// reads as nothing too, and tooLarge() says so.
class SpreadsheetFile
{
public:
    static constexpr std::size_t kMaxFileBytes = 64 * 1024 * 1024;
    static constexpr std::size_t kMaxTextBytes = 64 * 1024 * 1024;
    // The rows and columns a LibreOffice sheet has: a workbook loaded with
    // more loses the rest.
    static constexpr std::uint32_t kMaxOfficeRows = 1048576;
    static constexpr std::uint32_t kMaxOfficeColumns = 16384;

    struct ConvertedSheet
    {
        GbkString fodsPath;
        int index = 0; // from 0, in tab order
    };
    // The range a worksheet is read in: A1:IV65536.
    static constexpr std::uint32_t kMaxSheetRows = 65536;
    static constexpr std::uint16_t kMaxSheetColumns = 256;

    SpreadsheetFile(const GbkString& fileName, const GbkString& sheetOrSeparator);
    explicit SpreadsheetFile(const ConvertedSheet& sheet);

    bool isSheet() const { return m_sheetMode; }
    int totalRows() const { return static_cast<int>(m_rows.size()); }
    int totalColumns() const { return m_totalColumns; }
    const std::vector<GbkString>& columnNames() const { return m_columnNames; }
    // The row texts, row 1 first.
    const std::vector<GbkString>& rows() const { return m_rows; }
    bool exists() const { return m_exists; }
    int currentRow() const { return m_currentRow; }
    const std::string& lastError() const { return m_lastError; }
    bool tooLarge() const { return m_tooLarge; }
    // The workbook's sheet names (UTF-8) in sheet mode, as the file has them.
    const std::vector<std::string>& sheetNames() const { return m_sheetNames; }

    // Row 0: the current row, which then advances by one.
    bool readRow(std::vector<GbkString>& cells, int row = 0);
    // Column from 1; row from 1, 0 for the current row. The current row is
    // the same afterwards.
    bool readCell(GbkString& cell, int column, int row = 0);

    // Whether the cell holds a formula (sheet mode; read as empty text).
    bool isFormulaCell(int column, int row) const;

private:
    void openSheet(const std::string& bytes, int fd);
    void openText(const std::string& bytes);
    void openConverted(const std::string& bytes, int index);
    // Adds a row text; false (and the sheet reads as nothing) once the texts pass kMaxTextBytes.
    bool keepRow(GbkString row);
    void setColumnNames(std::vector<GbkString> cells);
    void dropRows(std::string error);
    void dropAsTooLarge();

    GbkString m_fileName;
    bool m_sheetMode = false;
    GbkString m_sheetName;
    GbkString m_separator;
    std::vector<GbkString> m_rows;
    std::vector<GbkString> m_columnNames;
    int m_totalColumns = 0;
    int m_currentRow = 1;
    bool m_exists = false;
    bool m_tooLarge = false;
    std::size_t m_textBytes = 0;
    std::vector<std::string> m_sheetNames;
    std::string m_lastError;
    CellPositions m_formulaCells;
};

} // namespace regdesk
