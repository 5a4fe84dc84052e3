#include "FlatOdsReader.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

namespace regdesk::test {
namespace {

const xmlChar* xml(const char* text)
{
    return reinterpret_cast<const xmlChar*>(text);
}

std::string text(const xmlChar* value)
{
    return value ? std::string(reinterpret_cast<const char*>(value)) : std::string();
}

bool is(const xmlNode* node, const char* name)
{
    return node->type == XML_ELEMENT_NODE && std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

std::string attribute(const xmlNode* node, const char* name)
{
    xmlChar* value = xmlGetProp(node, xml(name));
    std::string result = text(value);
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
            out += text(child->content);
        else if (is(child, "s"))
            out += std::string(static_cast<std::size_t>(repeats(child, "c")), ' ');
        else if (is(child, "tab"))
            out += '\t';
        else if (is(child, "line-break"))
            out += '\n';
        else if (child->type == XML_ELEMENT_NODE && !is(child, "annotation"))
            appendText(child, out);
    }
}

struct RowHit
{
    const xmlNode* row = nullptr;
    bool header = false;
};

void rows(const xmlNode* container, bool header, std::vector<std::pair<RowHit, long long>>& out)
{
    for (const xmlNode* child = container->children; child; child = child->next) {
        if (is(child, "table-row"))
            out.push_back({RowHit{child, header}, repeats(child, "number-rows-repeated")});
        else if (is(child, "table-header-rows"))
            rows(child, true, out);
        else if (is(child, "table-row-group") || is(child, "table-rows"))
            rows(child, header, out);
    }
}

} // namespace

struct FlatOdsReader::Data
{
    xmlDoc* doc = nullptr;
    ~Data() { xmlFreeDoc(doc); }

    const xmlNode* sheet(const std::string& name) const
    {
        const std::string path = "//table:table[@table:name='" + name + "']";
        xmlXPathContext* context = xmlXPathNewContext(doc);
        xmlXPathRegisterNs(context, xml("table"), xml("urn:oasis:names:tc:opendocument:xmlns:table:1.0"));
        xmlXPathObject* found = xmlXPathEvalExpression(xml(path.c_str()), context);
        const xmlNode* node =
            found && found->nodesetval && found->nodesetval->nodeNr > 0 ? found->nodesetval->nodeTab[0] : nullptr;
        xmlXPathFreeObject(found);
        xmlXPathFreeContext(context);
        return node;
    }

    RowHit row(const std::string& sheetName, int wanted) const
    {
        const xmlNode* table = sheet(sheetName);
        if (!table || wanted < 1)
            return {};
        std::vector<std::pair<RowHit, long long>> all;
        rows(table, false, all);
        long long seen = 0;
        for (const auto& [hit, count] : all) {
            if (wanted <= seen + count)
                return hit;
            seen += count;
        }
        return {};
    }

    // Evaluates with the office prefixes bound; the caller frees the result.
    xmlXPathObject* evaluate(const std::string& path) const
    {
        static const char* const kNamespaces[][2] = {
            {"office", "urn:oasis:names:tc:opendocument:xmlns:office:1.0"},
            {"style", "urn:oasis:names:tc:opendocument:xmlns:style:1.0"},
            {"text", "urn:oasis:names:tc:opendocument:xmlns:text:1.0"},
            {"table", "urn:oasis:names:tc:opendocument:xmlns:table:1.0"},
            {"fo", "urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"},
            {"config", "urn:oasis:names:tc:opendocument:xmlns:config:1.0"},
        };
        xmlXPathContext* context = xmlXPathNewContext(doc);
        for (const auto& binding : kNamespaces)
            xmlXPathRegisterNs(context, xml(binding[0]), xml(binding[1]));
        xmlXPathObject* result = xmlXPathEvalExpression(xml(path.c_str()), context);
        xmlXPathFreeContext(context);
        return result;
    }
};

FlatOdsReader::FlatOdsReader(const std::string& content) : m_data(std::make_unique<Data>())
{
    m_data->doc = xmlReadMemory(content.data(), static_cast<int>(content.size()), "test.fods", nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
}

FlatOdsReader::~FlatOdsReader() = default;

bool FlatOdsReader::isValid() const
{
    return m_data->doc != nullptr;
}

std::vector<std::string> FlatOdsReader::sheetNames() const
{
    std::vector<std::string> names;
    xmlXPathObject* found = m_data->evaluate("//office:spreadsheet/table:table/@table:name");
    for (int i = 0; found && found->nodesetval && i < found->nodesetval->nodeNr; ++i) {
        xmlChar* name = xmlNodeGetContent(found->nodesetval->nodeTab[i]);
        names.push_back(text(name));
        xmlFree(name);
    }
    xmlXPathFreeObject(found);
    return names;
}

FlatOdsReader::Cell FlatOdsReader::cell(const std::string& sheet, int row, int column) const
{
    const RowHit hit = m_data->row(sheet, row);
    if (!hit.row || column < 1)
        return {};
    long long seen = 0;
    for (const xmlNode* child = hit.row->children; child; child = child->next) {
        if (!is(child, "table-cell") && !is(child, "covered-table-cell"))
            continue;
        const long long count = repeats(child, "number-columns-repeated");
        if (column <= seen + count) {
            Cell found{{}, attribute(child, "style-name"), attribute(child, "value-type")};
            bool firstParagraph = true;
            for (const xmlNode* p = child->children; p; p = p->next) {
                if (!is(p, "p"))
                    continue;
                if (!firstParagraph)
                    found.text += '\n';
                appendText(p, found.text);
                firstParagraph = false;
            }
            return found;
        }
        seen += count;
    }
    return {};
}

long long FlatOdsReader::rowCount(const std::string& sheet) const
{
    const xmlNode* table = m_data->sheet(sheet);
    if (!table)
        return 0;
    std::vector<std::pair<RowHit, long long>> all;
    rows(table, false, all);
    long long total = 0;
    for (const auto& entry : all)
        total += entry.second;
    return total;
}

bool FlatOdsReader::isHeaderRow(const std::string& sheet, int row) const
{
    return m_data->row(sheet, row).header;
}

std::string FlatOdsReader::value(const std::string& xpath) const
{
    xmlXPathObject* found = m_data->evaluate(xpath);
    std::string result;
    if (found && found->nodesetval && found->nodesetval->nodeNr > 0) {
        xmlChar* content = xmlNodeGetContent(found->nodesetval->nodeTab[0]);
        result = text(content);
        xmlFree(content);
    }
    xmlXPathFreeObject(found);
    return result;
}

int FlatOdsReader::count(const std::string& xpath) const
{
    xmlXPathObject* found = m_data->evaluate(xpath);
    const int result = found && found->nodesetval ? found->nodesetval->nodeNr : 0;
    xmlXPathFreeObject(found);
    return result;
}

std::string FlatOdsReader::textProperty(const std::string& style, const std::string& property) const
{
    return value("//style:style[@style:family='table-cell' and @style:name='" + style + "']/style:text-properties/@" +
                 property);
}

} // namespace regdesk::test
