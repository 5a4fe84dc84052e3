#include "printing/FlatOdsDocument.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlstring.h>
#include <map>
#include <set>

namespace regdesk {
namespace {

constexpr const char* kOfficeNs = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr const char* kStyleNs = "urn:oasis:names:tc:opendocument:xmlns:style:1.0";
constexpr const char* kTextNs = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
constexpr const char* kTableNs = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr const char* kFoNs = "urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0";
constexpr const char* kConfigNs = "urn:oasis:names:tc:opendocument:xmlns:config:1.0";
constexpr const char* kCalcExtNs = "urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0";

const xmlChar* xml(const char* text)
{
    return reinterpret_cast<const xmlChar*>(text);
}

struct XmlDocFree
{
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocFree>;

struct XmlFree
{
    void operator()(xmlChar* text) const { xmlFree(text); }
};
using XmlText = std::unique_ptr<xmlChar, XmlFree>;

bool isElement(const xmlNode* node, const char* ns, const char* name)
{
    return node && node->type == XML_ELEMENT_NODE && node->ns && node->ns->href &&
           std::strcmp(reinterpret_cast<const char*>(node->ns->href), ns) == 0 &&
           std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

xmlNode* firstChild(const xmlNode* parent, const char* ns, const char* name)
{
    for (xmlNode* child = parent ? parent->children : nullptr; child; child = child->next) {
        if (isElement(child, ns, name))
            return child;
    }
    return nullptr;
}

std::string attribute(const xmlNode* node, const char* ns, const char* name)
{
    const XmlText value(xmlGetNsProp(node, xml(name), xml(ns)));
    return value ? std::string(reinterpret_cast<const char*>(value.get())) : std::string();
}

void removeAttribute(xmlNode* node, const char* ns, const char* name)
{
    if (xmlAttr* found = xmlHasNsProp(node, xml(name), xml(ns)))
        xmlRemoveProp(found);
}

// A repeat count as the file gives it; anything odd counts once, and no count
// reaches beyond the sheet.
std::int64_t repeatCount(const xmlNode* node, const char* name, std::int64_t limit)
{
    const std::string text = attribute(node, kTableNs, name);
    std::int64_t value = 1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 1)
        return 1;
    return std::min(value, limit);
}

void unlinkAndFree(xmlNode* node)
{
    xmlUnlinkNode(node);
    xmlFreeNode(node);
}

bool isRowContainer(const xmlNode* node)
{
    return isElement(node, kTableNs, "table-header-rows") || isElement(node, kTableNs, "table-row-group") ||
           isElement(node, kTableNs, "table-rows");
}

bool isColumnContainer(const xmlNode* node)
{
    return isElement(node, kTableNs, "table-header-columns") || isElement(node, kTableNs, "table-column-group") ||
           isElement(node, kTableNs, "table-columns");
}

bool isCell(const xmlNode* node)
{
    return isElement(node, kTableNs, "table-cell") || isElement(node, kTableNs, "covered-table-cell");
}

// Where a wanted row or column stands: the element that covers it, and which
// of that element's repeats it is.
struct Hit
{
    xmlNode* node = nullptr;
    std::int64_t offset = 0;
    std::int64_t count = 1;
};

// The node after `node` in document order among its siblings and those of
// the row containers it stands in; null at the end of `table`.
xmlNode* nextInTable(const xmlNode* node, const xmlNode* table)
{
    while (node && node != table) {
        if (node->next)
            return node->next;
        node = node->parent;
    }
    return nullptr;
}

// The first row at or after `node` in document order, into header rows and groups.
xmlNode* rowFrom(xmlNode* node, const xmlNode* table)
{
    while (node) {
        if (isElement(node, kTableNs, "table-row"))
            return node;
        node = isRowContainer(node) && node->children ? node->children : nextInTable(node, table);
    }
    return nullptr;
}

// The default cell style of column `wanted` (0-based) of a sheet, if it names one.
bool findColumnStyle(const xmlNode* container, std::int64_t wanted, std::int64_t& seen, std::string& style)
{
    for (xmlNode* child = container->children; child; child = child->next) {
        if (isElement(child, kTableNs, "table-column")) {
            const std::int64_t count = repeatCount(child, "number-columns-repeated", FlatOdsDocument::kMaxColumns);
            if (wanted < seen + count) {
                style = attribute(child, kTableNs, "default-cell-style-name");
                return true;
            }
            seen += count;
        } else if (isColumnContainer(child) && findColumnStyle(child, wanted, seen, style)) {
            return true;
        }
    }
    return false;
}

void setRepeat(xmlNode* node, const char* name, std::int64_t count)
{
    if (count <= 1)
        removeAttribute(node, kTableNs, name);
    else
        xmlSetNsProp(node, node->ns, xml(name), xml(std::to_string(count).c_str()));
}

// Makes one of the repeats of `hit` an element of its own: the repeats before
// and after it become copies of their own with the remaining counts.
xmlNode* isolate(const Hit& hit, const char* repeatName)
{
    xmlNode* node = hit.node;
    if (hit.count <= 1)
        return node;
    if (hit.offset > 0) {
        xmlNode* before = xmlCopyNode(node, 1);
        setRepeat(before, repeatName, hit.offset);
        xmlAddPrevSibling(node, before);
    }
    if (hit.count - hit.offset - 1 > 0) {
        xmlNode* after = xmlCopyNode(node, 1);
        setRepeat(after, repeatName, hit.count - hit.offset - 1);
        xmlAddNextSibling(node, after);
    }
    setRepeat(node, repeatName, 1);
    return node;
}

bool isUtf8(std::string_view text)
{
    for (std::size_t pos = 0; pos < text.size();) {
        int length = static_cast<int>(std::min<std::size_t>(text.size() - pos, 4));
        if (xmlGetUTF8Char(reinterpret_cast<const unsigned char*>(text.data() + pos), &length) < 0)
            return false;
        pos += static_cast<std::size_t>(length);
    }
    return true;
}

// Cell references such as "sheet1.A1:sheet1.F24" or "$'sheet1'.$A$1" with
// the sheet's name replaced; references to other sheets stay.
std::string renamedReferences(std::string_view ranges, std::string_view from, std::string_view to)
{
    std::string result;
    for (std::size_t pos = 0; pos < ranges.size();) {
        const bool atStart = pos == 0 || ranges[pos - 1] == ' ' || ranges[pos - 1] == ':' || ranges[pos - 1] == '$';
        const bool quoted = ranges[pos] == '\'';
        const std::size_t nameStart = pos + (quoted ? 1 : 0);
        const std::size_t nameEnd = nameStart + from.size();
        const std::size_t end = nameEnd + (quoted ? 1 : 0);
        if (atStart && ranges.compare(nameStart, from.size(), from) == 0 && end < ranges.size() && ranges[end] == '.' &&
            (!quoted || ranges[nameEnd] == '\'')) {
            if (quoted)
                result += '\'';
            result += to;
            if (quoted)
                result += '\'';
            pos = end;
            continue;
        }
        result += ranges[pos++];
    }
    return result;
}

bool asciiEqualNoCase(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

} // namespace

struct FlatOdsDocument::Data
{
    XmlDocPtr doc;
    std::vector<xmlNode*> sheets;
    std::map<std::string, std::string> boldStyles; // base style -> its bold clone
    std::int64_t rowsWalked = 0;
    // The row written last and its index: lines are written one below the
    // other, so the next row is found from here rather than from the top.
    struct RowCursor
    {
        xmlNode* table = nullptr;
        xmlNode* row = nullptr;
        std::int64_t index = 0;
    } cursor;

    // The row element covering `wanted` (0-based) of `table`, from the cursor when it lies above.
    bool findRow(xmlNode* table, std::int64_t wanted, Hit& hit, std::int64_t& seen, xmlNode*& lastRow)
    {
        const bool fromCursor = cursor.table == table && cursor.row && cursor.index <= wanted;
        xmlNode* row = fromCursor ? cursor.row : rowFrom(table->children, table);
        seen = fromCursor ? cursor.index : 0;
        lastRow = nullptr;
        for (; row; row = rowFrom(nextInTable(row, table), table)) {
            ++rowsWalked;
            const std::int64_t count = repeatCount(row, "number-rows-repeated", FlatOdsDocument::kMaxRows);
            lastRow = row;
            if (wanted < seen + count) {
                hit = Hit{row, wanted - seen, count};
                return true;
            }
            seen += count;
        }
        return false;
    }

    xmlNode* root() const { return xmlDocGetRootElement(doc.get()); }

    void findSheets()
    {
        sheets.clear();
        xmlNode* spreadsheet = firstChild(firstChild(root(), kOfficeNs, "body"), kOfficeNs, "spreadsheet");
        for (xmlNode* child = spreadsheet ? spreadsheet->children : nullptr; child; child = child->next) {
            if (isElement(child, kTableNs, "table"))
                sheets.push_back(child);
        }
    }

    // The namespace of `href`, declared on the root when the file has none.
    xmlNs* ns(const char* href, const char* prefix)
    {
        if (xmlNs* found = xmlSearchNsByHref(doc.get(), root(), xml(href)))
            return found;
        std::string candidate = prefix;
        for (int n = 2; n < 100; ++n) {
            if (xmlNs* made = xmlNewNs(root(), xml(href), xml(candidate.c_str())))
                return made;
            candidate = prefix + std::to_string(n); // the prefix means something else in this file
        }
        return nullptr;
    }

    xmlNode* newElement(const char* href, const char* prefix, const char* name)
    {
        return xmlNewDocNode(doc.get(), ns(href, prefix), xml(name), nullptr);
    }

    xmlNode* row(xmlNode* sheet, std::int64_t index)
    {
        std::int64_t seen = 0;
        Hit hit;
        xmlNode* lastRow = nullptr;
        if (findRow(sheet, index, hit, seen, lastRow)) {
            xmlNode* found = isolate(hit, "number-rows-repeated");
            cursor = RowCursor{sheet, found, index};
            return found;
        }
        // Past the last row the file has: add empty rows up to the wanted one.
        xmlNode* wanted = newElement(kTableNs, "table", "table-row");
        xmlNode* gap = index > seen ? newElement(kTableNs, "table", "table-row") : nullptr;
        if (gap) {
            setRepeat(gap, "number-rows-repeated", index - seen);
            xmlAddChild(gap, newElement(kTableNs, "table", "table-cell"));
        }
        if (lastRow) {
            // Rows behind the header rows must not become header rows themselves.
            xmlNode* after = isElement(lastRow->parent, kTableNs, "table-header-rows") ? lastRow->parent : lastRow;
            xmlAddNextSibling(after, wanted);
            if (gap)
                xmlAddNextSibling(after, gap);
            cursor = RowCursor{sheet, wanted, index};
            return wanted;
        }
        // No rows at all: they go before what follows the rows (named ranges and the like).
        xmlNode* following = nullptr;
        for (xmlNode* child = sheet->children; child && !following; child = child->next) {
            if (isElement(child, kTableNs, "named-expressions") || isElement(child, kTableNs, "database-ranges") ||
                (child->type == XML_ELEMENT_NODE && child->ns &&
                 std::strcmp(reinterpret_cast<const char*>(child->ns->href), kCalcExtNs) == 0))
                following = child;
        }
        for (xmlNode* added : {gap, wanted}) {
            if (added && following)
                xmlAddPrevSibling(following, added);
            else if (added)
                xmlAddChild(sheet, added);
        }
        cursor = RowCursor{sheet, wanted, index};
        return wanted;
    }

    xmlNode* cell(xmlNode* row, std::int64_t index)
    {
        std::int64_t seen = 0;
        for (xmlNode* child = row->children; child; child = child->next) {
            if (!isCell(child))
                continue;
            const std::int64_t count = repeatCount(child, "number-columns-repeated", kMaxColumns);
            if (index < seen + count)
                return isolate(Hit{child, index - seen, count}, "number-columns-repeated");
            seen += count;
        }
        if (index > seen) {
            xmlNode* gap = xmlAddChild(row, newElement(kTableNs, "table", "table-cell"));
            setRepeat(gap, "number-columns-repeated", index - seen);
        }
        return xmlAddChild(row, newElement(kTableNs, "table", "table-cell"));
    }

    void writeText(xmlNode* cell, std::string_view utf8)
    {
        static constexpr std::pair<const char*, const char*> kValueAttributes[] = {
            {kOfficeNs, "value-type"}, {kOfficeNs, "value"},         {kOfficeNs, "date-value"},
            {kOfficeNs, "time-value"}, {kOfficeNs, "boolean-value"}, {kOfficeNs, "string-value"},
            {kOfficeNs, "currency"},   {kTableNs, "formula"},        {kCalcExtNs, "value-type"},
        };
        for (const auto& [href, name] : kValueAttributes)
            removeAttribute(cell, href, name);
        // The old content goes; a comment on the cell stays, as Excel keeps it.
        for (xmlNode* child = cell->children; child;) {
            xmlNode* next = child->next;
            if (!isElement(child, kOfficeNs, "annotation"))
                unlinkAndFree(child);
            child = next;
        }
        xmlSetNsProp(cell, ns(kOfficeNs, "office"), xml("value-type"), xml("string"));
        if (xmlNs* calcExt = xmlSearchNsByHref(doc.get(), root(), xml(kCalcExtNs)))
            xmlSetNsProp(cell, calcExt, xml("value-type"), xml("string"));
        xmlAddChild(cell, paragraph(utf8));
    }

    // A text:p that shows exactly the text: blanks that XML white-space rules
    // would collapse become text:s, tabs and line ends their own elements, and
    // control characters XML cannot carry are left out.
    xmlNode* paragraph(std::string_view utf8)
    {
        xmlNode* p = newElement(kTextNs, "text", "p");
        std::string pending;
        const auto flush = [&] {
            if (!pending.empty())
                xmlAddChild(p, xmlNewDocTextLen(doc.get(), xml(pending.c_str()), static_cast<int>(pending.size())));
            pending.clear();
        };
        bool atStart = true;
        for (std::size_t pos = 0; pos < utf8.size();) {
            const char c = utf8[pos];
            if (c == ' ') {
                std::size_t end = pos;
                while (end < utf8.size() && utf8[end] == ' ')
                    ++end;
                std::size_t spaces = end - pos;
                if (!atStart) {
                    pending += ' ';
                    --spaces;
                }
                if (spaces > 0) {
                    flush();
                    xmlNode* s = xmlAddChild(p, newElement(kTextNs, "text", "s"));
                    if (spaces > 1)
                        xmlSetNsProp(s, s->ns, xml("c"), xml(std::to_string(spaces).c_str()));
                }
                atStart = false;
                pos = end;
                continue;
            }
            if (c == '\t' || c == '\n') {
                flush();
                xmlAddChild(p, newElement(kTextNs, "text", c == '\t' ? "tab" : "line-break"));
                atStart = true;
            } else if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) {
                pending += c;
                atStart = false;
            }
            ++pos;
        }
        flush();
        return p;
    }

    std::string baseStyle(xmlNode* sheet, xmlNode* row, xmlNode* cell, std::int64_t column)
    {
        std::string style = attribute(cell, kTableNs, "style-name");
        if (style.empty())
            style = attribute(row, kTableNs, "default-cell-style-name");
        std::int64_t seen = 0;
        if (style.empty())
            findColumnStyle(sheet, column, seen, style);
        return style.empty() ? std::string("Default") : style;
    }

    static xmlNode* findStyle(xmlNode* styles, const std::string& name)
    {
        for (xmlNode* child = styles ? styles->children : nullptr; child; child = child->next) {
            if (isElement(child, kStyleNs, "style") && attribute(child, kStyleNs, "family") == "table-cell" &&
                attribute(child, kStyleNs, "name") == name)
                return child;
        }
        return nullptr;
    }

    xmlNode* automaticStyles()
    {
        if (xmlNode* found = firstChild(root(), kOfficeNs, "automatic-styles"))
            return found;
        xmlNode* made = newElement(kOfficeNs, "office", "automatic-styles");
        xmlNode* before = firstChild(root(), kOfficeNs, "master-styles");
        if (!before)
            before = firstChild(root(), kOfficeNs, "body");
        return before ? xmlAddPrevSibling(before, made) : xmlAddChild(root(), made);
    }

    std::string unusedStyleName(const std::string& wanted)
    {
        std::set<std::string> used;
        for (const char* section : {"styles", "automatic-styles"}) {
            xmlNode* styles = firstChild(root(), kOfficeNs, section);
            for (xmlNode* child = styles ? styles->children : nullptr; child; child = child->next) {
                if (child->type == XML_ELEMENT_NODE)
                    used.insert(attribute(child, kStyleNs, "name"));
            }
        }
        std::string name = wanted;
        for (int n = 2; used.count(name); ++n)
            name = wanted + std::to_string(n);
        return name;
    }

    std::string boldStyle(const std::string& base)
    {
        if (const auto known = boldStyles.find(base); known != boldStyles.end())
            return known->second;
        xmlNode* automatic = automaticStyles();
        const std::string name = unusedStyleName(base + "-bold");
        xmlNode* style = nullptr;
        if (xmlNode* own = findStyle(automatic, base)) {
            style = xmlAddNextSibling(own, xmlCopyNode(own, 1));
        } else {
            // A common style (such as "Default") stays the parent of the bold one.
            style = xmlAddChild(automatic, newElement(kStyleNs, "style", "style"));
            xmlSetNsProp(style, style->ns, xml("family"), xml("table-cell"));
            if (findStyle(firstChild(root(), kOfficeNs, "styles"), base))
                xmlSetNsProp(style, style->ns, xml("parent-style-name"), xml(base.c_str()));
        }
        xmlSetNsProp(style, ns(kStyleNs, "style"), xml("name"), xml(name.c_str()));
        xmlNode* text = firstChild(style, kStyleNs, "text-properties");
        if (!text) {
            // Properties come before a style's conditional maps.
            text = newElement(kStyleNs, "style", "text-properties");
            if (xmlNode* map = firstChild(style, kStyleNs, "map"))
                xmlAddPrevSibling(map, text);
            else
                xmlAddChild(style, text);
        }
        xmlSetNsProp(text, ns(kFoNs, "fo"), xml("font-weight"), xml("bold"));
        xmlSetNsProp(text, ns(kStyleNs, "style"), xml("font-weight-asian"), xml("bold"));
        xmlSetNsProp(text, ns(kStyleNs, "style"), xml("font-weight-complex"), xml("bold"));
        boldStyles.emplace(base, name);
        boldStyles.emplace(name, name); // a bold cell written bold again
        return name;
    }
};

FlatOdsDocument::FlatOdsDocument() : m_data(std::make_unique<Data>()) {}
FlatOdsDocument::~FlatOdsDocument() = default;
FlatOdsDocument::FlatOdsDocument(FlatOdsDocument&&) noexcept = default;
FlatOdsDocument& FlatOdsDocument::operator=(FlatOdsDocument&&) noexcept = default;

bool FlatOdsDocument::parse(std::string_view text, std::string& reason)
{
    m_data = std::make_unique<Data>();
    xmlResetLastError();
    // No network, no entity expansion; errors are collected, not printed.
    m_data->doc.reset(xmlReadMemory(text.data(), static_cast<int>(std::min<std::size_t>(text.size(), INT32_MAX)),
                                    "list.fods", nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!m_data->doc) {
        const xmlError* error = xmlGetLastError();
        reason = "not a readable XML file";
        if (error && error->message) {
            std::string message = error->message;
            while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
                message.pop_back();
            reason += " (line " + std::to_string(error->line) + ": " + message + ")";
        }
        return false;
    }
    if (!isElement(m_data->root(), kOfficeNs, "document") ||
        !firstChild(firstChild(m_data->root(), kOfficeNs, "body"), kOfficeNs, "spreadsheet")) {
        m_data->doc.reset();
        reason = "not a spreadsheet in flat OpenDocument form";
        return false;
    }
    m_data->findSheets();
    return true;
}

std::string FlatOdsDocument::serialize() const
{
    if (!m_data->doc)
        return {};
    xmlChar* buffer = nullptr;
    int size = 0;
    xmlDocDumpMemoryEnc(m_data->doc.get(), &buffer, &size, "UTF-8");
    const XmlText owned(buffer);
    return owned ? std::string(reinterpret_cast<const char*>(owned.get()), static_cast<std::size_t>(size))
                 : std::string();
}

int FlatOdsDocument::sheetCount() const
{
    return static_cast<int>(m_data->sheets.size());
}

std::string FlatOdsDocument::sheetName(int index) const
{
    if (index < 0 || index >= sheetCount())
        return {};
    return attribute(m_data->sheets[static_cast<std::size_t>(index)], kTableNs, "name");
}

int FlatOdsDocument::findSheet(std::string_view name) const
{
    for (int i = 0; i < sheetCount(); ++i) {
        if (asciiEqualNoCase(sheetName(i), name))
            return i;
    }
    return -1;
}

void FlatOdsDocument::copySheet(int index, int copies)
{
    if (index < 0 || index >= sheetCount())
        return;
    xmlNode* sheet = m_data->sheets[static_cast<std::size_t>(index)];
    for (int i = 0; i < copies; ++i)
        xmlAddNextSibling(sheet, xmlCopyNode(sheet, 1));
    m_data->findSheets();
    m_data->cursor = {};
}

void FlatOdsDocument::renameSheet(int index, std::string_view name)
{
    if (index < 0 || index >= sheetCount())
        return;
    xmlNode* sheet = m_data->sheets[static_cast<std::size_t>(index)];
    const std::string ranges = attribute(sheet, kTableNs, "print-ranges");
    if (!ranges.empty()) {
        // The sheet's print area names the sheet: it must follow the new name.
        const std::string renamed = renamedReferences(ranges, sheetName(index), name);
        xmlSetNsProp(sheet, sheet->ns, xml("print-ranges"), xml(renamed.c_str()));
    }
    xmlSetNsProp(sheet, sheet->ns, xml("name"), xml(std::string(name).c_str()));
}

void FlatOdsDocument::dropTemplateLinks()
{
    std::vector<xmlNode*> stale;
    const auto collect = [&](auto&& self, xmlNode* node) -> void {
        for (xmlNode* child = node->children; child; child = child->next) {
            if (child->type != XML_ELEMENT_NODE)
                continue;
            const std::string name = attribute(child, kTableNs, "name");
            if ((isElement(child, kTableNs, "named-range") || isElement(child, kTableNs, "named-expression")) &&
                (name == "Excel_BuiltIn_Print_Titles" || name == "Excel_BuiltIn_Print_Area"))
                stale.push_back(child);
            else if (isElement(child, kConfigNs, "config-item-map-named") &&
                     attribute(child, kConfigNs, "name") == "ScriptConfiguration")
                stale.push_back(child);
            else
                self(self, child);
        }
    };
    if (m_data->doc)
        collect(collect, m_data->root());
    for (xmlNode* node : stale)
        unlinkAndFree(node);
    m_data->cursor = {};
}

bool FlatOdsDocument::setTextCell(int sheet, int row, int column, std::string_view utf8, bool bold)
{
    if (sheet < 0 || sheet >= sheetCount() || row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns)
        return false;
    if (!isUtf8(utf8))
        return false;
    xmlNode* table = m_data->sheets[static_cast<std::size_t>(sheet)];
    xmlNode* rowNode = m_data->row(table, row - 1);
    xmlNode* cellNode = m_data->cell(rowNode, column - 1);
    m_data->writeText(cellNode, utf8);
    if (bold) {
        const std::string style = m_data->boldStyle(m_data->baseStyle(table, rowNode, cellNode, column - 1));
        xmlSetNsProp(cellNode, m_data->ns(kTableNs, "table"), xml("style-name"), xml(style.c_str()));
    }
    return true;
}

std::int64_t FlatOdsDocument::rowsWalked() const
{
    return m_data->rowsWalked;
}

} // namespace regdesk
