#include "people/SpreadsheetFile.h"

#include "platform/FileSystem.h"
#include "platform/UniqueFd.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <freexl.h>
#include <libxml/tree.h>
#include <libxml/xmlreader.h>
#include <memory>
#include <optional>
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

// The file the clerk chose, whole, when it is a regular file of bounded size
// (a link to one included), with its descriptor kept open in `fd`.
bool readRegularFile(const GbkString& path, UniqueFd& fd, std::string& bytes)
{
    std::optional<std::string> read =
        regdesk::readRegularFile(path, SpreadsheetFile::kMaxFileBytes, FileLinks::Follow, OversizeFile::Refuse, &fd);
    if (!read)
        return false;
    bytes = std::move(*read);
    return true;
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

constexpr const char* kOfficeNs = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr const char* kTableNs = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr const char* kTextNs = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";

struct ReaderFree
{
    void operator()(xmlTextReader* reader) const { xmlFreeTextReader(reader); }
};

bool isElement(const xmlNode* node, const char* ns, const char* name)
{
    return node && node->type == XML_ELEMENT_NODE && node->ns && node->ns->href &&
           std::strcmp(reinterpret_cast<const char*>(node->ns->href), ns) == 0 &&
           std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

bool readerAt(xmlTextReader* reader, const char* ns, const char* name)
{
    const xmlChar* local = xmlTextReaderConstLocalName(reader);
    const xmlChar* uri = xmlTextReaderConstNamespaceUri(reader);
    return xmlTextReaderNodeType(reader) == XML_READER_TYPE_ELEMENT && local && uri &&
           std::strcmp(reinterpret_cast<const char*>(local), name) == 0 &&
           std::strcmp(reinterpret_cast<const char*>(uri), ns) == 0;
}

// A repeat count; anything odd counts once, and none reaches past `limit`.
std::uint32_t repeats(const xmlNode* node, const char* name, std::uint32_t limit)
{
    xmlChar* value =
        xmlGetNsProp(node, reinterpret_cast<const xmlChar*>(name), reinterpret_cast<const xmlChar*>(kTableNs));
    std::uint32_t count = 1;
    if (value) {
        char* end = nullptr;
        const unsigned long long parsed = std::strtoull(reinterpret_cast<const char*>(value), &end, 10);
        if (end && *end == '\0' && parsed >= 1)
            count = static_cast<std::uint32_t>(std::min<unsigned long long>(parsed, limit));
        xmlFree(value);
    }
    return count;
}

// The text a cell shows: its paragraphs joined by line ends, with the
// elements that stand for blanks, tabs and line breaks written out.
void appendShownText(const xmlNode* node, std::string& text)
{
    for (const xmlNode* child = node->children; child; child = child->next) {
        if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
            text += reinterpret_cast<const char*>(child->content);
        } else if (isElement(child, kTextNs, "s")) {
            xmlChar* count =
                xmlGetNsProp(child, reinterpret_cast<const xmlChar*>("c"), reinterpret_cast<const xmlChar*>(kTextNs));
            const long blanks = count ? std::strtol(reinterpret_cast<const char*>(count), nullptr, 10) : 1;
            xmlFree(count);
            text.append(static_cast<std::size_t>(std::clamp(blanks, 1L, 1024L)), ' ');
        } else if (isElement(child, kTextNs, "tab")) {
            text += '\t';
        } else if (isElement(child, kTextNs, "line-break")) {
            text += '\n';
        } else if (child->type == XML_ELEMENT_NODE && !isElement(child, kOfficeNs, "annotation")) {
            appendShownText(child, text);
        }
    }
}

std::string shownText(const xmlNode* cell)
{
    std::string text;
    bool first = true;
    for (const xmlNode* child = cell->children; child; child = child->next) {
        if (!isElement(child, kTextNs, "p") && !isElement(child, kTextNs, "h"))
            continue;
        if (!first)
            text += '\n';
        appendShownText(child, text);
        first = false;
    }
    return text;
}

// The cells of a row, repeats written out; empty cells at its end are left
// out. None when the row's text alone passes the sheet's bound.
std::optional<std::vector<GbkString>> rowCells(const xmlNode* row)
{
    std::vector<GbkString> cells;
    std::size_t pendingEmpty = 0;
    std::size_t bytes = 0;
    for (const xmlNode* child = row->children; child; child = child->next) {
        if (!isElement(child, kTableNs, "table-cell") && !isElement(child, kTableNs, "covered-table-cell"))
            continue;
        const std::uint32_t count = repeats(child, "number-columns-repeated", SpreadsheetFile::kMaxOfficeColumns);
        const std::string text = shownText(child);
        if (text.empty()) {
            pendingEmpty += count;
            continue;
        }
        if (cells.size() + pendingEmpty + count > SpreadsheetFile::kMaxOfficeColumns)
            break;
        bytes += (pendingEmpty + count) * sizeof(GbkString) + count * text.size();
        if (bytes > SpreadsheetFile::kMaxTextBytes)
            return std::nullopt;
        cells.resize(cells.size() + pendingEmpty);
        pendingEmpty = 0;
        cells.insert(cells.end(), count, utf8ToGbk(text));
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

SpreadsheetFile::SpreadsheetFile(const ConvertedSheet& sheet)
    : m_fileName(sheet.fodsPath), m_sheetMode(true), m_separator(kSheetSeparator)
{
    UniqueFd fd;
    std::string bytes;
    if (!readRegularFile(sheet.fodsPath, fd, bytes)) {
        m_lastError = "Error in opening file\n";
        return;
    }
    openConverted(bytes, sheet.index);
}

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
    for (unsigned int i = 0; i < sheetCount && i <= 0xFFFF; ++i) {
        const char* name = nullptr;
        const auto index = static_cast<unsigned short>(i);
        if (freexl_get_worksheet_name(workbook.get(), index, &name) != FREEXL_OK || !name)
            continue;
        m_sheetNames.emplace_back(name);
        if (equalsIgnoringAsciiCase(name, wanted)) {
            if (!sheet) {
                sheet = index;
                sheetName = name;
            }
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
        for (std::uint16_t column = 0; column < columns; ++column)
            cells[column] = cellText(workbook.get(), 0, column);
        setColumnNames(cells);
        for (std::uint32_t row = 1; row < rows; ++row) {
            for (std::uint16_t column = 0; column < columns; ++column)
                cells[column] = cellText(workbook.get(), row, column);
            if (!keepRow(quotedRow(cells)))
                return;
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
        if (!keepRow(std::move(line)))
            return;
        start = end + 1;
    }
    for (const GbkString& row : m_rows)
        m_totalColumns = std::max(m_totalColumns, static_cast<int>(splitRow(row, m_separator).size()));
    if (!m_rows.empty())
        m_columnNames = splitRow(m_rows.front(), m_separator);
    m_exists = m_totalColumns != 0;
    m_currentRow = 1;
}

void SpreadsheetFile::setColumnNames(std::vector<GbkString> cells)
{
    // A column without a name gets its position, as Excel's own driver names it.
    for (std::size_t column = 0; column < cells.size(); ++column) {
        if (cells[column].empty())
            cells[column] = std::string("F").append(std::to_string(column + 1));
    }
    m_columnNames = cells;
    m_exists = !cells.empty();
    keepRow(quotedRow(cells));
}

bool SpreadsheetFile::keepRow(GbkString row)
{
    // Each row costs its text and its own string besides.
    m_textBytes += row.size() + sizeof(GbkString);
    if (m_textBytes > kMaxTextBytes) {
        dropAsTooLarge();
        return false;
    }
    m_rows.push_back(std::move(row));
    return true;
}

void SpreadsheetFile::dropRows(std::string error)
{
    m_lastError = std::move(error);
    m_rows = {};
    m_columnNames = {};
    m_totalColumns = 0;
    m_exists = false;
}

void SpreadsheetFile::dropAsTooLarge()
{
    m_tooLarge = true;
    dropRows("Sheet too large\n");
}

void SpreadsheetFile::openConverted(const std::string& bytes, int index)
{
    const std::unique_ptr<xmlTextReader, ReaderFree> reader(
        xmlReaderForMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                           XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE));
    if (!reader) {
        m_lastError = "Error in opening workbook\n";
        return;
    }
    int table = -1;
    int tableDepth = -1;
    bool found = false;
    std::uint32_t pendingEmptyRows = 0;
    std::uint32_t rowCount = 0;
    int status = xmlTextReaderRead(reader.get());
    while (status == 1) {
        if (tableDepth < 0 && readerAt(reader.get(), kTableNs, "table")) {
            xmlChar* name = xmlTextReaderGetAttributeNs(reader.get(), reinterpret_cast<const xmlChar*>("name"),
                                                        reinterpret_cast<const xmlChar*>(kTableNs));
            m_sheetNames.emplace_back(name ? reinterpret_cast<const char*>(name) : "");
            xmlFree(name);
            if (++table == index && !xmlTextReaderIsEmptyElement(reader.get())) {
                tableDepth = xmlTextReaderDepth(reader.get());
                found = true;
            }
        } else if (tableDepth >= 0 && xmlTextReaderNodeType(reader.get()) == XML_READER_TYPE_END_ELEMENT &&
                   xmlTextReaderDepth(reader.get()) == tableDepth) {
            tableDepth = -1;
        } else if (tableDepth >= 0 && readerAt(reader.get(), kTableNs, "table-row")) {
            const xmlNode* row = xmlTextReaderExpand(reader.get());
            if (!row)
                break;
            const std::uint32_t count = repeats(row, "number-rows-repeated", kMaxOfficeRows);
            const std::optional<std::vector<GbkString>> read = rowCells(row);
            if (!read) {
                dropAsTooLarge();
                return;
            }
            const std::vector<GbkString>& cells = *read;
            if (cells.empty() && rowCount > 0) {
                pendingEmptyRows += std::min(count, kMaxOfficeRows);
            } else {
                // Empty rows count only when a row with text follows them.
                for (; pendingEmptyRows > 0 && rowCount < kMaxOfficeRows; --pendingEmptyRows, ++rowCount) {
                    if (!keepRow({}))
                        return;
                }
                pendingEmptyRows = 0;
                m_totalColumns = std::max(m_totalColumns, static_cast<int>(cells.size()));
                const GbkString text = quotedRow(cells);
                for (std::uint32_t copy = 0; copy < count && rowCount < kMaxOfficeRows; ++copy, ++rowCount) {
                    if (rowCount == 0)
                        setColumnNames(cells);
                    else if (!keepRow(text))
                        return;
                }
            }
            status = xmlTextReaderNext(reader.get());
            continue;
        }
        status = xmlTextReaderRead(reader.get());
    }
    if (status != 0 || !found) {
        dropRows(found ? "Error reading row\n" : "Worksheet " + std::to_string(index + 1) + " not found\n");
        return;
    }
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
