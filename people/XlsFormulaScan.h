#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>

namespace regdesk {

// Cell positions, 0-based: (row, column).
using CellPositions = std::set<std::pair<std::uint32_t, std::uint16_t>>;

// freexl reads every formula cell of an .xls as empty, which the personnel
// import cannot tell from a cell left blank. This walks the workbook's own
// structure (the OLE compound file, then the BIFF records of one worksheet)
// to find where the formulas are.
//
// `file` is the whole .xls file; `sheetName` is UTF-8 and compared without
// regard to ASCII case. nullopt when the file's structure cannot be walked or
// the worksheet is not there. Every offset, chain and size in the file is
// checked, so a damaged or hostile file ends the walk, never the program.
std::optional<CellPositions> findFormulaCells(std::string_view file, const std::string& sheetName);

} // namespace regdesk
