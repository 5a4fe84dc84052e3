#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace regdesk {

// A spreadsheet in OpenDocument's flat XML form (.fods), as LibreOffice
// writes it, edited in memory. This is what the desk does instead of driving
// Excel: LibreOffice turns the template into this form and the result back
// into an .xls file. Texts are UTF-8 (the XML's own encoding); rows and
// columns are counted from 1 as a spreadsheet shows them.
class FlatOdsDocument
{
public:
    // LibreOffice's sheet size; cells beyond it cannot be written.
    static constexpr int kMaxRows = 1048576;
    static constexpr int kMaxColumns = 16384;

    FlatOdsDocument();
    ~FlatOdsDocument();
    FlatOdsDocument(FlatOdsDocument&&) noexcept;
    FlatOdsDocument& operator=(FlatOdsDocument&&) noexcept;

    // False, with a reason, when the text is not a flat ODS spreadsheet.
    bool parse(std::string_view xml, std::string& reason);
    std::string serialize() const;

    int sheetCount() const;
    std::string sheetName(int index) const;
    // The first sheet of that name, ASCII letters compared without regard to
    // case (Excel's own sheets are "Sheet1" where the desk asks for "sheet1");
    // -1 when there is none.
    int findSheet(std::string_view name) const;
    // Inserts `copies` deep copies of the sheet right behind it.
    void copySheet(int index, int copies);
    // Renames the sheet; its print area follows the new name.
    void renameSheet(int index, std::string_view name);

    // Removes what ties the template to its one sheet and would go stale in
    // the copies: the print-titles and print-area ranges imported from Excel
    // (the rows repeated on every printed page stay, as the sheets' header
    // rows, and so does each sheet's own print area) and the map of sheet
    // code names for scripts.
    void dropTemplateLinks();

    // Writes a string cell (so that "1" or "20240102" stay texts), splitting
    // rows and cells that the file keeps as repeats of one. Bold goes through
    // a style cloned from the cell's own, so borders and fonts stay; Chinese
    // text needs the Asian and complex weights as well. False when the cell is
    // outside the sheet or the text is not UTF-8.
    bool setTextCell(int sheet, int row, int column, std::string_view utf8, bool bold);

    // How many row elements the writes have stepped over to find their rows
    // since parsing: lines written one after another cost a few steps each.
    std::int64_t rowsWalked() const;

private:
    struct Data;
    std::unique_ptr<Data> m_data;
};

} // namespace regdesk
