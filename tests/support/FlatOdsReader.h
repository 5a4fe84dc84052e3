#pragma once

#include <memory>
#include <string>
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
        std::string text;  // paragraphs joined by "\n", text:s as blanks
        std::string style; // the cell's own table:style-name
        std::string valueType;
    };

    explicit FlatOdsReader(const std::string& xml);
    ~FlatOdsReader();

    bool isValid() const;
    std::vector<std::string> sheetNames() const;
    // Row and column from 1; an empty cell past the file's rows or cells.
    Cell cell(const std::string& sheet, int row, int column) const;
    // All rows of the sheet, repeats counted.
    long long rowCount(const std::string& sheet) const;
    bool isHeaderRow(const std::string& sheet, int row) const;
    // An attribute found by XPath ("//style:style[@style:name='x']/@style:parent-style-name").
    std::string value(const std::string& xpath) const;
    int count(const std::string& xpath) const;
    // A text property of an automatic or common cell style, such as "fo:font-weight".
    std::string textProperty(const std::string& style, const std::string& property) const;

private:
    struct Data;
    std::unique_ptr<Data> m_data;
};

} // namespace regdesk::test
