#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace regdesk {

// What the personnel import learns of an .xlsx or .ods workbook (a zip
// package) before LibreOffice opens it: the names of its sheets in tab order,
// as the file stores them (loading an .xlsx, LibreOffice renames a sheet
// "sheet1" to "sheet1 -1"), and whether the package unpacks within a bound
// at all (a zip of a few megabytes can hold gigabytes of repeated text).
// Every entry is really unpacked to count its size; the sizes a package
// declares are not trusted.
struct OfficePackage
{
    enum class Problem
    {
        None,
        NotAPackage, // not a zip, a damaged one, or no workbook part in it
        TooLarge,    // unpacks to more than the bound
    };
    Problem problem = Problem::None;
    std::vector<std::string> sheetNames; // UTF-8

    static OfficePackage read(std::string_view zipBytes, std::size_t maxUnpackedBytes);
};

} // namespace regdesk
