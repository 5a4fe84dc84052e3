#include "people/SpreadsheetFile.h"

#include "platform/FileSystem.h"
#include "platform/UniqueFd.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <freexl.h>
#include <memory>
#include <sys/stat.h>

namespace regdesk {
namespace {

constexpr const char* kSheetSeparator = ",;.?";

struct FreexlCloser
{
    void operator()(const void* handle) const { freexl_close(handle); }
};
using FreexlHandle = std::unique_ptr<const void, FreexlCloser>;

bool endsWithXls(const GbkString& name)
{
    if (name.size() < 4)
        return false;
    GbkString tail = name.substr(name.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return tail == ".xls";
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

// Opens `path` only if it is a regular file of bounded size and reads it whole.
// Opening without blocking keeps a FIFO from hanging the desk; fstat after the
// open judges what was really opened, a link's target included.
bool readRegularFile(const GbkString& path, UniqueFd& fd, std::string& bytes)
{
    fd.reset(::open(toNativePath(path).c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info
    {
    };
    if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uintmax_t>(info.st_size) > SpreadsheetFile::kMaxFileBytes)
        return false;
    bytes.clear();
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return false;
        if (count == 0)
            return true;
        bytes.append(buffer, static_cast<std::size_t>(count));
        if (bytes.size() > SpreadsheetFile::kMaxFileBytes) // grew while being read
            return false;
    }
}

GbkString cellText(const void* workbook, std::uint32_t row, std::uint16_t column)
{
    FreeXL_CellValue value{};
    if (freexl_get_cell_value(workbook, row, column, &value) != FREEXL_OK)
        return {};
    switch (value.type) {
    case FREEXL_CELL_INT:
        return std::to_string(value.value.int_value);
    case FREEXL_CELL_DOUBLE: {
        char text[64];
        std::snprintf(text, sizeof text, "%.15g", value.value.double_value);
        return text;
    }
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
        return value.value.text_value ? utf8ToGbk(value.value.text_value) : GbkString();
    default:
        return {};
    }
}

// The cells of a row text: cut at quote-separator-quote and strip the outer
// quotes; else cut at the bare separator; else the row is one cell.
std::vector<GbkString> splitRow(const GbkString& text, const GbkString& separator)
{
    std::vector<GbkString> cells;
    const auto cutAt = [&](const GbkString& delimiter) {
        std::size_t start = 0;
        for (std::size_t at = text.find(delimiter); at != GbkString::npos; at = text.find(delimiter, start)) {
            cells.push_back(text.substr(start, at - start));
            start = at + delimiter.size();
        }
        cells.push_back(text.substr(start));
    };
    const GbkString quoted = "\"" + separator + "\"";
    if (text.find(quoted) != GbkString::npos) {
        cutAt(quoted);
        if (!cells.front().empty())
            cells.front().erase(0, 1);
        if (!cells.back().empty())
            cells.back().pop_back();
    } else if (!separator.empty() && text.find(separator) != GbkString::npos) {
        cutAt(separator);
    } else {
        GbkString cell = text;
        if (!cell.empty() && cell.front() == '"' && cell.rfind('"') == cell.size() - 1) {
            cell.erase(0, 1);
            if (!cell.empty())
                cell.pop_back();
        }
        cells.push_back(std::move(cell));
    }
    return cells;
}

GbkString quotedRow(const std::vector<GbkString>& cells)
{
    GbkString row;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0)
            row += kSheetSeparator;
        row += '"';
        row += cells[i];
        row += '"';
    }
    return row;
}

} // namespace

SpreadsheetFile::SpreadsheetFile(const GbkString& fileName, const GbkString& sheetOrSeparator)
    : m_fileName(fileName), m_sheetMode(endsWithXls(fileName))
{
    if (m_sheetMode) {
        m_sheetName = sheetOrSeparator;
        m_separator = kSheetSeparator;
    } else {
        m_separator = sheetOrSeparator;
    }
    UniqueFd fd;
    std::string bytes;
    if (!readRegularFile(fileName, fd, bytes)) {
        m_lastError = "Error in opening file\n";
        return;
    }
    if (m_sheetMode)
        openSheet(bytes, fd.get());
    else
        openText(bytes);
}

void SpreadsheetFile::openSheet(const std::string& bytes, int fd)
{
    // freexl opens by name: the descriptor's name keeps it on the file judged above.
    const std::string descriptorPath = "/proc/self/fd/" + std::to_string(fd);
    const void* opened = nullptr;
    const int status = freexl_open(descriptorPath.c_str(), &opened);
    FreexlHandle workbook(opened);
    if (status != FREEXL_OK) {
        m_lastError = "Error in opening workbook (freexl " + std::to_string(status) + ")\n";
        return;
    }

    const std::string wanted = gbkToUtf8(m_sheetName);
    unsigned int sheetCount = 0;
    freexl_get_info(workbook.get(), FREEXL_BIFF_SHEET_COUNT, &sheetCount);
    std::optional<unsigned short> sheet;
    std::string sheetName;
    for (unsigned int i = 0; i < sheetCount && i <= 0xFFFF && !sheet; ++i) {
        const char* name = nullptr;
        const auto index = static_cast<unsigned short>(i);
        if (freexl_get_worksheet_name(workbook.get(), index, &name) == FREEXL_OK && name &&
            equalsIgnoringAsciiCase(name, wanted)) {
            sheet = index;
            sheetName = name;
        }
    }
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (!sheet || freexl_select_active_worksheet(workbook.get(), *sheet) != FREEXL_OK ||
        freexl_worksheet_dimensions(workbook.get(), &rows, &columns) != FREEXL_OK) {
        m_lastError = "Worksheet " + m_sheetName + " not found\n";
        return;
    }
    rows = std::min(rows, kMaxSheetRows);
    columns = std::min(columns, kMaxSheetColumns);
    m_totalColumns = columns;
    if (columns > 0 && rows > 0) {
        std::vector<GbkString> cells(columns);
        for (std::uint16_t column = 0; column < columns; ++column) {
            cells[column] = cellText(workbook.get(), 0, column);
            // A column without a name gets its position, as Excel's own driver names it.
            if (cells[column].empty())
                cells[column] = "F" + std::to_string(column + 1);
        }
        m_columnNames = cells;
        m_rows.reserve(rows);
        m_rows.push_back(quotedRow(cells));
        m_exists = true;
        for (std::uint32_t row = 1; row < rows; ++row) {
            for (std::uint16_t column = 0; column < columns; ++column)
                cells[column] = cellText(workbook.get(), row, column);
            m_rows.push_back(quotedRow(cells));
        }
    }
    m_formulaCells = findFormulaCells(bytes, sheetName).value_or(CellPositions{});
    m_currentRow = 1;
}

void SpreadsheetFile::openText(const std::string& bytes)
{
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        GbkString line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        m_rows.push_back(std::move(line));
        start = end + 1;
    }
    for (const GbkString& row : m_rows)
        m_totalColumns = std::max(m_totalColumns, static_cast<int>(splitRow(row, m_separator).size()));
    if (!m_rows.empty())
        m_columnNames = splitRow(m_rows.front(), m_separator);
    m_exists = m_totalColumns != 0;
    m_currentRow = 1;
}

bool SpreadsheetFile::readRow(std::vector<GbkString>& cells, int row)
{
    if (row > totalRows()) {
        m_lastError = "Desired row is greater than total number of rows in spreadsheet\n";
        return false;
    }
    if (row < 0) {
        m_lastError = "Row cannot be negative\n";
        return false;
    }
    if (row != 0)
        m_currentRow = row;
    else if (m_currentRow > totalRows() || m_currentRow < 1)
        return false;
    cells = splitRow(m_rows[static_cast<std::size_t>(m_currentRow - 1)], m_separator);
    ++m_currentRow;
    return true;
}

bool SpreadsheetFile::readCell(GbkString& cell, int column, int row)
{
    if (column == 0) {
        m_lastError = "Column cannot be zero\n";
        return false;
    }
    const int saved = m_currentRow;
    std::vector<GbkString> cells;
    const bool read = readRow(cells, row);
    m_currentRow = saved;
    if (!read) {
        m_lastError = "Error reading row\n";
        return false;
    }
    if (column < 0 || static_cast<std::size_t>(column) > cells.size()) {
        cell.clear();
        return false;
    }
    cell = cells[static_cast<std::size_t>(column - 1)];
    return true;
}

bool SpreadsheetFile::isFormulaCell(int column, int row) const
{
    if (column < 1 || row < 1)
        return false;
    return m_formulaCells.count({static_cast<std::uint32_t>(row - 1), static_cast<std::uint16_t>(column - 1)}) > 0;
}

} // namespace regdesk
