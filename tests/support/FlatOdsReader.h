#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace regdesk::test {

// Reads a flat ODS spreadsheet the way a spreadsheet program shows it, with
// repeated rows and cells expanded, so tests can check an edited file
// without trusting the code that edited it. Texts are UTF-8.
class FlatOdsReader
{
public:
    struct Cell
    {
        std::string text; // paragraphs joined by "\n", text:s as blanks
        std::string style;
        std::string valueType;
    };

    explicit FlatOdsReader(const std::string& xml);
    ~FlatOdsReader();

    std::vector<std::string> sheetNames() const;
    // Row and column from 1.
    Cell cell(const std::string& sheet, int row, int column) const;
    long long rowCount(const std::string& sheet) const;
    bool isHeaderRow(const std::string& sheet, int row) const;
    // The texts of the nodes an XPath finds, office prefixes bound.
    std::vector<std::string> find(const std::string& xpath) const;
    std::string value(const std::string& xpath) const
    {
        const std::vector<std::string> found = find(xpath);
        return found.empty() ? std::string() : found.front();
    }
    int count(const std::string& xpath) const { return static_cast<int>(find(xpath).size()); }
    // A text property of a cell style, such as "fo:font-weight".
    std::string textProperty(const std::string& style, const std::string& property) const
    {
        return value("//style:style[@style:name='" + style + "']/style:text-properties/@" + property);
    }

private:
    struct Sheet
    {
        long long rows = 0;
        std::vector<std::pair<long long, long long>> headerRows; // first, last
        std::map<std::pair<long long, long long>, Cell> cells;   // cells that hold anything
    };
    struct Document;

    std::unique_ptr<Document> m_document;
    std::vector<std::string> m_names;
    std::map<std::string, Sheet> m_sheets;
};

} // namespace regdesk::test
