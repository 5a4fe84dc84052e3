#include "people/XlsFormulaScan.h"

#include "TestData.h"

#include <cstring>
#include <functional>
#include <gtest/gtest.h>

namespace regdesk::test {
namespace {

TEST(XlsFormulaScan, FindsTheFormulaCellsOfTheNamedSheet)
{
    const std::string workbook = testData("people/sheets.xls");
    ASSERT_FALSE(workbook.empty());
    EXPECT_EQ(findFormulaCells(workbook, "values"), (CellPositions{{1, 3}}));
    EXPECT_EQ(findFormulaCells(workbook, "Sheet1"), CellPositions{});
    EXPECT_EQ(findFormulaCells(workbook, "sheet9"), std::nullopt);
    // Small workbooks keep their stream in the mini stream; this one does too.
    EXPECT_EQ(findFormulaCells(testData("people/formula-names.xls"), "SHEET1"), (CellPositions{{2, 0}}));
}

void put32(std::string& bytes, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i) & 0xFF);
}

std::uint32_t get32(const std::string& bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + offset, 4); // little-endian host
    return value;
}

// Damage done to a good workbook; each must end the walk with no result.
struct Damage
{
    const char* name;
    std::function<void(std::string&)> apply;
};

class DamagedWorkbook : public ::testing::TestWithParam<Damage>
{
};

TEST_P(DamagedWorkbook, GivesNoResult)
{
    std::string workbook = testData("people/sheets.xls");
    ASSERT_GT(workbook.size(), 2048u);
    GetParam().apply(workbook);
    EXPECT_EQ(findFormulaCells(workbook, "Values"), std::nullopt);
}

constexpr std::size_t kSector = 512;

INSTANTIATE_TEST_SUITE_P(
    Damages, DamagedWorkbook,
    ::testing::Values(Damage{"NotACompoundFile", [](std::string& b) { b[0] = 'X'; }},
                      Damage{"OddSectorSize", [](std::string& b) { b[0x1E] = 13; }},
                      Damage{"CutAfterTheHeader", [](std::string& b) { b.resize(kSector + 100); }},
                      Damage{"MoreFatSectorsThanTheFileHas", [](std::string& b) { put32(b, 0x2C, 0x7FFFFFFF); }},
                      Damage{"FatSectorOutsideTheFile", [](std::string& b) { put32(b, 0x4C, 0x00FFFFFF); }},
                      Damage{"EveryChainLoopsOnItself",
                             [](std::string& b) {
                                 const std::size_t fat = (get32(b, 0x4C) + 1) * kSector;
                                 for (std::uint32_t i = 0; i < kSector / 4; ++i)
                                     put32(b, fat + i * 4, i);
                             }},
                      Damage{"StreamsClaimFourGigabytes",
                             [](std::string& b) {
                                 const std::size_t directory = (get32(b, 0x30) + 1) * kSector;
                                 for (std::size_t entry = 0; entry < kSector; entry += 128)
                                     put32(b, directory + entry + 0x78, 0xFFFFFFF0);
                             }},
                      Damage{"DirectoryStartsOutsideTheFile", [](std::string& b) { put32(b, 0x30, 0x00100000); }}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace regdesk::test
