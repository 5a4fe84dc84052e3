#include "barcode/EmfPicture.h"

#include <cstdint>
#include <gtest/gtest.h>

namespace regdesk::test {
namespace {

std::uint32_t u32(const std::string& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes.at(at + static_cast<std::size_t>(i)));
    return value;
}

std::int32_t i32(const std::string& bytes, std::size_t at)
{
    return static_cast<std::int32_t>(u32(bytes, at));
}

void put32(std::string& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A 1-bit bitmap laid out as the encoder writes it: 62-byte headers, two colours.
std::string monochromeBmp(int width, int height)
{
    const int stride = (width + 31) / 32 * 4;
    std::string bmp(static_cast<std::size_t>(62 + stride * height), '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(bmp, 2, static_cast<std::uint32_t>(bmp.size()));
    put32(bmp, 10, 62);
    put32(bmp, 14, 40);
    put32(bmp, 18, static_cast<std::uint32_t>(width));
    put32(bmp, 22, static_cast<std::uint32_t>(height));
    bmp[26] = 1;
    bmp[28] = 1;
    put32(bmp, 34, static_cast<std::uint32_t>(stride * height));
    put32(bmp, 50, 2);
    put32(bmp, 58, 0x00FFFFFF);
    for (std::size_t i = 62; i < bmp.size(); ++i)
        bmp[i] = static_cast<char>(i * 37 % 251); // recognisable pixel bytes
    return bmp;
}

TEST(EmfPicture, HeaderBoundsTheStretchedRectangle)
{
    const std::string bmp = monochromeBmp(120, 5);
    const std::optional<std::string> emf = EmfPicture::stretchedBitmap(bmp, 185, 74);
    ASSERT_TRUE(emf);
    const std::string& e = *emf;
    EXPECT_EQ(u32(e, 0), 1u); // EMR_HEADER
    const std::uint32_t headerSize = u32(e, 4);
    EXPECT_EQ(headerSize, 108u);
    EXPECT_EQ((std::vector<std::int32_t>{i32(e, 8), i32(e, 12), i32(e, 16), i32(e, 20)}),
              (std::vector<std::int32_t>{0, 0, 184, 73}));
    EXPECT_EQ(u32(e, 40), 0x464D4520u); // " EMF"
    EXPECT_EQ(u32(e, 48), e.size());
    EXPECT_EQ(u32(e, 52), 3u); // records
    EXPECT_EQ(e.size() % 4, 0u);

    // The stretch record: destination rectangle, whole source, SRCCOPY, bitmap unchanged.
    const std::size_t s = headerSize;
    EXPECT_EQ(u32(e, s), 81u);
    const std::uint32_t stretchSize = u32(e, s + 4);
    EXPECT_EQ((std::vector<std::int32_t>{i32(e, s + 24), i32(e, s + 28)}), (std::vector<std::int32_t>{0, 0}));
    EXPECT_EQ((std::vector<std::int32_t>{i32(e, s + 40), i32(e, s + 44)}), (std::vector<std::int32_t>{120, 5}));
    EXPECT_EQ(u32(e, s + 68), 0x00CC0020u);
    EXPECT_EQ((std::vector<std::int32_t>{i32(e, s + 72), i32(e, s + 76)}), (std::vector<std::int32_t>{185, 74}));
    const std::uint32_t infoOffset = u32(e, s + 48), infoSize = u32(e, s + 52);
    const std::uint32_t bitsOffset = u32(e, s + 56), bitsSize = u32(e, s + 60);
    EXPECT_EQ(e.substr(s + infoOffset, infoSize), bmp.substr(14, 48));
    EXPECT_EQ(e.substr(s + bitsOffset, bitsSize), bmp.substr(62));

    const std::size_t eof = s + stretchSize;
    EXPECT_EQ(u32(e, eof), 14u);
    EXPECT_EQ(eof + u32(e, eof + 4), e.size());
}

TEST(EmfPicture, ZeroSizeGivesAnEmptyRectangle)
{
    const std::optional<std::string> emf = EmfPicture::stretchedBitmap(monochromeBmp(86, 3), 0, 0);
    ASSERT_TRUE(emf);
    EXPECT_EQ(i32(*emf, 16), -1);
    EXPECT_EQ(i32(*emf, 20), -1);
}

struct BadBitmap
{
    const char* name;
    std::function<void(std::string&)> damage;
};

class EmfPictureRejects : public ::testing::TestWithParam<BadBitmap>
{
};

TEST_P(EmfPictureRejects, DamagedBitmap)
{
    std::string bmp = monochromeBmp(120, 5);
    GetParam().damage(bmp);
    EXPECT_EQ(EmfPicture::stretchedBitmap(bmp, 10, 10), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Damage, EmfPictureRejects,
                         ::testing::Values(BadBitmap{"Empty", [](std::string& b) { b.clear(); }},
                                           BadBitmap{"NotBm", [](std::string& b) { b[0] = 'X'; }},
                                           BadBitmap{"Truncated", [](std::string& b) { b.resize(b.size() - 1); }},
                                           BadBitmap{"Compressed", [](std::string& b) { put32(b, 30, 1); }},
                                           BadBitmap{"PixelsBeyondEnd",
                                                     [](std::string& b) { put32(b, 10, 0x7FFFFFFF); }},
                                           BadBitmap{"ZeroWidth", [](std::string& b) { put32(b, 18, 0); }}),
                         [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

// Headers that would overflow on the way are refused.
INSTANTIATE_TEST_SUITE_P(Overflow, EmfPictureRejects,
                         ::testing::Values(BadBitmap{"HeightIntMin", [](std::string& b) { put32(b, 22, 0x80000000u); }},
                                           BadBitmap{"InfoSizeWrappingTheCheck",
                                                     [](std::string& b) { put32(b, 14, 0xFFFFFFF8u); }}),
                         [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST(EmfPicture, SizeWhoseFrameOverflowsIsRefused)
{
    const std::string bmp = monochromeBmp(120, 5);
    EXPECT_TRUE(EmfPicture::stretchedBitmap(bmp, 845466, 845466)); // 845466 x 2540 still fits an int
    EXPECT_EQ(EmfPicture::stretchedBitmap(bmp, 845467, 10), std::nullopt);
    EXPECT_EQ(EmfPicture::stretchedBitmap(bmp, 10, 845467), std::nullopt);
}

} // namespace
} // namespace regdesk::test
