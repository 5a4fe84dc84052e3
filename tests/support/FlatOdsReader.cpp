#include "FlatOdsReader.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

namespace regdesk::test {
namespace {

const xmlChar* xml(const char* text)
{
    return reinterpret_cast<const xmlChar*>(text);
}

bool is(const xmlNode* node, const char* name)
{
    return node->type == XML_ELEMENT_NODE && std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

std::string attribute(const xmlNode* node, const char* name)
{
    xmlChar* value = xmlGetProp(node, xml(name));
    std::string result = value ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return result;
}

long long repeats(const xmlNode* node, const char* name)
{
    const std::string value = attribute(node, name);
    long long count = 1;
    std::from_chars(value.data(), value.data() + value.size(), count);
    return std::max(count, 1LL);
}

void appendText(const xmlNode* node, std::string& out)
{
    for (const xmlNode* child = node->children; child; child = child->next) {
        if (child->type == XML_TEXT_NODE)
            out += reinterpret_cast<const char*>(child->content);
        else if (is(child, "s"))
            out += std::string(static_cast<std::size_t>(repeats(child, "c")), ' ');
        else if (is(child, "tab") || is(child, "line-break"))
            out += is(child, "tab") ? '\t' : '\n';
        else if (child->type == XML_ELEMENT_NODE && !is(child, "annotation"))
            appendText(child, out);
    }
}

} // namespace

struct FlatOdsReader::Document
{
    xmlDoc* doc = nullptr;
    ~Document() { xmlFreeDoc(doc); }
};

FlatOdsReader::FlatOdsReader(const std::string& content) : m_document(std::make_unique<Document>())
{
    m_document->doc = xmlReadMemory(content.data(), static_cast<int>(content.size()), "test.fods", nullptr,
                                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    // Walks one sheet's rows in document order, into header rows and groups.
    const auto readRows = [](auto&& self, const xmlNode* container, bool header, Sheet& sheet) -> void {
        for (const xmlNode* row = container->children; row; row = row->next) {
            if (is(row, "table-header-rows") || is(row, "table-row-group") || is(row, "table-rows"))
                self(self, row, header || is(row, "table-header-rows"), sheet);
            if (!is(row, "table-row"))
                continue;
            const long long rowRepeats = repeats(row, "number-rows-repeated");
            if (header)
                sheet.headerRows.emplace_back(sheet.rows + 1, sheet.rows + rowRepeats);
            long long column = 0;
            for (const xmlNode* cell = row->children; cell; cell = cell->next) {
                if (!is(cell, "table-cell") && !is(cell, "covered-table-cell"))
                    continue;
                Cell read{{}, attribute(cell, "style-name"), attribute(cell, "value-type")};
                for (const xmlNode* p = cell->children; p; p = p->next) {
                    if (is(p, "p")) {
                        read.text += read.text.empty() ? "" : "\n";
                        appendText(p, read.text);
                    }
                }
                const long long cellRepeats = repeats(cell, "number-columns-repeated");
                const bool holdsSomething = !read.text.empty() || !read.style.empty() || !read.valueType.empty();
                for (long long r = 1; holdsSomething && r <= std::min(rowRepeats, 1000LL); ++r) {
                    for (long long c = 1; c <= std::min(cellRepeats, 2000LL); ++c)
                        sheet.cells[{sheet.rows + r, column + c}] = read;
                }
                column += cellRepeats;
            }
            sheet.rows += rowRepeats;
        }
    };
    const xmlNode* root = m_document->doc ? xmlDocGetRootElement(m_document->doc) : nullptr;
    for (const xmlNode* part = root ? root->children : nullptr; part; part = part->next) {
        for (const xmlNode* spreadsheet = is(part, "body") ? part->children : nullptr; spreadsheet;
             spreadsheet = spreadsheet->next) {
            for (const xmlNode* table = is(spreadsheet, "spreadsheet") ? spreadsheet->children : nullptr; table;
                 table = table->next) {
                if (!is(table, "table"))
                    continue;
                m_names.push_back(attribute(table, "name"));
                readRows(readRows, table, false, m_sheets[m_names.back()]);
            }
        }
    }
}

FlatOdsReader::~FlatOdsReader() = default;

std::vector<std::string> FlatOdsReader::sheetNames() const
{
    return m_names;
}

FlatOdsReader::Cell FlatOdsReader::cell(const std::string& sheet, int row, int column) const
{
    const auto found = m_sheets.find(sheet);
    if (found == m_sheets.end())
        return {};
    const auto cell = found->second.cells.find({row, column});
    return cell == found->second.cells.end() ? Cell{} : cell->second;
}

long long FlatOdsReader::rowCount(const std::string& sheet) const
{
    const auto found = m_sheets.find(sheet);
    return found == m_sheets.end() ? 0 : found->second.rows;
}

bool FlatOdsReader::isHeaderRow(const std::string& sheet, int row) const
{
    const auto found = m_sheets.find(sheet);
    return found != m_sheets.end() &&
           std::any_of(found->second.headerRows.begin(), found->second.headerRows.end(),
                       [row](const auto& range) { return row >= range.first && row <= range.second; });
}

std::vector<std::string> FlatOdsReader::find(const std::string& xpath) const
{
    static const char* const kNamespaces[][2] = {
        {"office", "urn:oasis:names:tc:opendocument:xmlns:office:1.0"},
        {"style", "urn:oasis:names:tc:opendocument:xmlns:style:1.0"},
        {"table", "urn:oasis:names:tc:opendocument:xmlns:table:1.0"},
        {"fo", "urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"},
        {"config", "urn:oasis:names:tc:opendocument:xmlns:config:1.0"},
    };
    std::vector<std::string> texts;
    if (!m_document->doc)
        return texts;
    xmlXPathContext* context = xmlXPathNewContext(m_document->doc);
    for (const auto& binding : kNamespaces)
        xmlXPathRegisterNs(context, xml(binding[0]), xml(binding[1]));
    xmlXPathObject* found = xmlXPathEvalExpression(xml(xpath.c_str()), context);
    for (int i = 0; found && found->nodesetval && i < found->nodesetval->nodeNr; ++i) {
        xmlChar* content = xmlNodeGetContent(found->nodesetval->nodeTab[i]);
        texts.emplace_back(content ? reinterpret_cast<const char*>(content) : "");
        xmlFree(content);
    }
    xmlXPathFreeObject(found);
    xmlXPathFreeContext(context);
    return texts;
}

} // namespace regdesk::test
