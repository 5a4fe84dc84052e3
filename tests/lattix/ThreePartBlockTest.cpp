#include "ThreePartBlock.h"

#include "InputFiles.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace lattix {
namespace {

using test::TempFolder;
using test::writeBytes;

Bytes filled(std::size_t size, std::uint8_t value)
{
    return Bytes(size, value);
}

Bytes trailerOf(const Bytes& block)
{
    return Bytes(block.end() - 8, block.end());
}

TEST(ThreePartBlock, TextAndOtherWithoutImageEndWithTheirLengths)
{
    ThreePartBlock block;
    block.setText(filled(100, 'T'));
    block.addImage({});
    block.addOther(filled(50, 'O'));
    const Bytes bytes = block.bytes();
    ASSERT_EQ(bytes.size(), 158U);
    EXPECT_EQ(trailerOf(bytes), (Bytes{0x32, 0x00, 0x00, 0x00, 0x64, 0x00, 0x4E, 0xFF}));
    EXPECT_EQ(bytes[99], 'T');
    EXPECT_EQ(bytes[100], 'O');
}

TEST(ThreePartBlock, TrailerIsWrittenForTextAlone)
{
    ThreePartBlock block;
    block.setText(filled(3, 'a'));
    EXPECT_EQ(block.bytes(), (Bytes{'a', 'a', 'a', 0, 0, 0, 0, 3, 0, 'N', 0xFF}));
}

struct PartCase
{
    const char* name;
    std::size_t text;
    std::size_t image;
    std::size_t other;
    std::size_t keptText;
    std::size_t keptImage;
    std::size_t keptOther;
};

class ThreePartLimits : public testing::TestWithParam<PartCase>
{
};

TEST_P(ThreePartLimits, KeepsTheParts)
{
    const PartCase& c = GetParam();
    ThreePartBlock block;
    block.setText(filled(c.text, 't'));
    block.addImage(filled(c.image, 'i'));
    block.addOther(filled(c.other, 'o'));
    EXPECT_EQ(block.textSize(), c.keptText);
    EXPECT_EQ(block.imageSize(), c.keptImage);
    EXPECT_EQ(block.otherSize(), c.keptOther);
    EXPECT_EQ(block.bytes().size(), c.keptText + c.keptImage + c.keptOther + 8);
}

const PartCase kPartCases[] = {
    {"TextAbove2702IsCut", 2800, 10, 0, 2702, 0, 0},
    {"TextOf2702LeavesNoRoom", 2702, 1, 1, 2702, 0, 0},
    {"ImageUpToTotal2701IsTaken", 2000, 701, 0, 2000, 701, 0},
    {"ImageReachingTotal2702IsLeftOutWhole", 2000, 702, 1, 2000, 0, 1},
    {"OtherCountsAfterImage", 1000, 1000, 702, 1000, 1000, 0},
    {"OtherFillingTo2701IsTaken", 1000, 1000, 701, 1000, 1000, 701},
    {"ImageAndOtherWithoutText", 0, 5, 6, 0, 5, 6},
    {"NothingAtAll", 0, 0, 0, 0, 0, 0},
};

INSTANTIATE_TEST_SUITE_P(Cases, ThreePartLimits, testing::ValuesIn(kPartCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(InputFiles, SingleFileInputIsCutTo2710Bytes)
{
    TempFolder folder;
    writeBytes(folder.file("big"), filled(3000, '7'));
    const std::optional<Bytes> input = readSingleFileInput(folder.file("big").c_str());
    ASSERT_TRUE(input.has_value());
    EXPECT_EQ(input->size(), 2710U);
    writeBytes(folder.file("empty"), {});
    EXPECT_FALSE(readSingleFileInput(folder.file("empty").c_str()).has_value());
    EXPECT_FALSE(readSingleFileInput(folder.file("missing").c_str()).has_value());
    EXPECT_FALSE(readSingleFileInput(nullptr).has_value());
}

TEST(InputFiles, ThreePartInputReadsFilesByTheRules)
{
    TempFolder folder;
    writeBytes(folder.file("text"), filled(2800, 't'));
    writeBytes(folder.file("image"), filled(10, 'i'));
    const ThreePartBlock cut = readThreePartInput(folder.file("text").c_str(), folder.file("image").c_str(), "");
    EXPECT_EQ(cut.textSize(), 2702U);
    EXPECT_EQ(cut.imageSize(), 0U);
    EXPECT_EQ(trailerOf(cut.bytes()), (Bytes{0, 0, 0, 0, 0x8E, 0x0A, 0x4E, 0xFF}));

    writeBytes(folder.file("text"), filled(100, 't'));
    writeBytes(folder.file("other"), filled(50, 'o'));
    writeBytes(folder.file("empty"), {});
    const ThreePartBlock block =
        readThreePartInput(folder.file("text").c_str(), folder.file("empty").c_str(), folder.file("other").c_str());
    EXPECT_EQ(trailerOf(block.bytes()), (Bytes{0x32, 0x00, 0x00, 0x00, 0x64, 0x00, 0x4E, 0xFF}));

    // A path starting with a byte of 0x80 or above is not used, even when such a file exists.
    writeBytes(folder.file("\xce\xc4"), filled(5, 'g'));
    writeBytes(folder.file("plain"), filled(5, 'p'));
    const test::CurrentFolder here(folder.path());
    EXPECT_EQ(readThreePartInput("plain", nullptr, nullptr).textSize(), 5U);
    EXPECT_EQ(readThreePartInput("\xce\xc4", nullptr, nullptr).textSize(), 0U);
    EXPECT_TRUE(readThreePartInput("", "", "").isEmpty());
    EXPECT_TRUE(readThreePartInput(nullptr, nullptr, nullptr).isEmpty());
    EXPECT_TRUE(readThreePartInput(folder.file("missing").c_str(), nullptr, nullptr).isEmpty());
}

} // namespace
} // namespace lattix
