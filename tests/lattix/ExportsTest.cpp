// Black-box tests through the C interface of the shared library, in a temporary current folder.
#include "Encoder.h"
#include "SymbolSettings.h"
#include "lattix.h"
#include "support/TempFolder.h"
#include "support/ZxingDecoder.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {

using lattix::Bytes;
using lattix::test::readBytes;
using lattix::test::writeBytes;
using lattix::test::writeText;

struct BstrFree
{
    void operator()(char* text) const { SysFreeString(text); }
};
using Bstr = std::unique_ptr<char, BstrFree>;

const char* const kOutputs[] = {"TempPdf.bmp", "TempCode.txt", "TempPdf.emf", "TempPdf.wmf"};

class LattixExports : public testing::Test
{
protected:
    LattixExports() : m_here(m_folder.path()) { SetConFile("EnCode.ini"); }
    ~LattixExports() override { SetConFile("EnCode.ini"); }

    std::string file(const std::string& name) const { return m_folder.file(name); }

    static void expectSuccess(const Bstr& result)
    {
        ASSERT_TRUE(result);
        ASSERT_EQ(SysStringByteLen(result.get()), 128U);
        EXPECT_EQ(std::string(result.get(), 11), "TempPdf.bmp");
        for (int i = 11; i < 130; ++i)
            ASSERT_EQ(result.get()[i], 0) << "byte " << i;
    }

    static void expectFailure(const Bstr& result)
    {
        ASSERT_TRUE(result);
        EXPECT_EQ(SysStringByteLen(result.get()), 0U);
        EXPECT_EQ(result.get()[0], 0);
    }

    // Decodes TempPdf.bmp of the current folder.
    static std::optional<Bytes> decodedBitmap() { return lattix::test::decodeBitmap(readBytes("TempPdf.bmp")); }

    lattix::test::TempFolder m_folder;
    lattix::test::CurrentFolder m_here;
};

TEST_F(LattixExports, BstrLayerHasTheWindowsLayout)
{
    const Bstr text(SysAllocStringByteLen("abc", 3));
    ASSERT_TRUE(text);
    EXPECT_EQ(SysStringByteLen(text.get()), 3U);
    UINT stored = 0;
    std::memcpy(&stored, text.get() - 4, 4);
    EXPECT_EQ(stored, 3U);
    EXPECT_EQ(std::string(text.get(), 5), std::string("abc\0\0", 5));
    const Bstr zeros(SysAllocStringByteLen(nullptr, 4));
    EXPECT_EQ(std::string(zeros.get(), 4), std::string(4, '\0'));
    EXPECT_EQ(SysStringByteLen(nullptr), 0U);
    SysFreeString(nullptr);
}

TEST_F(LattixExports, LattixEncodesAFileAndWritesTheFourFiles)
{
    const std::string content = "GB0626-2005^\xb7\xa8\xa1\xb2"
                                "2024\xa1\xb3"
                                "12\xba\xc5^20240102^^|\r\n";
    writeText(file("in.txt"), content);
    const Bstr result(Lattix("in.txt"));
    expectSuccess(result);
    for (const char* name : kOutputs)
        EXPECT_TRUE(std::filesystem::is_regular_file(name)) << name;
    const std::optional<Bytes> decoded = decodedBitmap();
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, Bytes(content.begin(), content.end()));

    // The files are byte for byte those of the in-memory pipeline with the default settings.
    const std::optional<lattix::Symbol> symbol =
        lattix::encodeSymbol(Bytes(content.begin(), content.end()), lattix::SymbolSettings{});
    ASSERT_TRUE(symbol.has_value());
    const lattix::SymbolFiles expected = lattix::renderSymbolFiles(*symbol);
    EXPECT_EQ(readBytes("TempPdf.bmp"), expected.bitmap);
    EXPECT_EQ(readBytes("TempPdf.emf"), expected.enhancedMetafile);
    EXPECT_EQ(readBytes("TempPdf.wmf"), expected.windowsMetafile);
    const Bytes dump = readBytes("TempCode.txt");
    EXPECT_EQ(std::string(dump.begin(), dump.end()), expected.codewordDump);

    // The dump: the count, then that many codewords, "%3d, " each, no line end.
    const int count = std::stoi(std::string(dump.begin(), dump.begin() + 3));
    EXPECT_EQ(dump.size(), static_cast<std::size_t>(count + 1) * 5);
    EXPECT_EQ(dump.back(), ' ');
    EXPECT_EQ(dump[dump.size() - 2], ',');
}

TEST_F(LattixExports, MakePdf417EncodesTheBlockWithItsTrailer)
{
    writeBytes(file("text"), Bytes(100, 'T'));
    writeBytes(file("other"), Bytes(50, 0x9C));
    const Bstr result(MakePdf417("text", "", "other"));
    expectSuccess(result);
    const std::optional<Bytes> decoded = decodedBitmap();
    ASSERT_TRUE(decoded.has_value());
    ASSERT_EQ(decoded->size(), 158U);
    EXPECT_EQ(Bytes(decoded->end() - 8, decoded->end()), (Bytes{0x32, 0x00, 0x00, 0x00, 0x64, 0x00, 0x4E, 0xFF}));
}

TEST_F(LattixExports, MissingOrEmptyInputsFail)
{
    writeBytes(file("empty"), {});
    expectFailure(Bstr(MakePdf417("", "", "")));
    expectFailure(Bstr(MakePdf417(nullptr, nullptr, nullptr)));
    expectFailure(Bstr(MakePdf417("missing", "empty", "")));
    expectFailure(Bstr(Lattix("missing")));
    expectFailure(Bstr(Lattix("empty")));
    expectFailure(Bstr(Lattix(nullptr)));
    for (const char* name : kOutputs)
        EXPECT_FALSE(std::filesystem::exists(name)) << name;
}

TEST_F(LattixExports, OversizedInputFailsAndLeavesEarlierFilesUntouched)
{
    writeText(file("small"), "first symbol");
    expectSuccess(Bstr(Lattix("small")));
    std::vector<Bytes> before;
    for (const char* name : kOutputs)
        before.push_back(readBytes(name));
    writeBytes(file("big"), Bytes(3000, 0xA1));
    expectFailure(Bstr(Lattix("big")));
    // 2702 text bytes and a trailer cannot fit either.
    expectFailure(Bstr(MakePdf417("big", "", "")));
    for (std::size_t i = 0; i < std::size(kOutputs); ++i)
        EXPECT_EQ(readBytes(kOutputs[i]), before[i]) << kOutputs[i];
}

TEST_F(LattixExports, UnwritableBitmapFailsWithoutTouchingTheOtherFiles)
{
    std::filesystem::create_directory("TempPdf.bmp");
    writeText(file("in"), "ABC");
    expectFailure(Bstr(Lattix("in")));
    EXPECT_FALSE(std::filesystem::exists("TempCode.txt"));
    EXPECT_FALSE(std::filesystem::exists("TempPdf.emf"));
    EXPECT_FALSE(std::filesystem::exists("TempPdf.wmf"));
}

TEST_F(LattixExports, UnwritableDumpOrMetafileIsSkippedSilently)
{
    std::filesystem::create_directory("TempCode.txt");
    std::filesystem::create_directory("TempPdf.wmf");
    writeText(file("in"), "ABC");
    expectSuccess(Bstr(Lattix("in")));
    EXPECT_TRUE(std::filesystem::is_regular_file("TempPdf.bmp"));
    EXPECT_TRUE(std::filesystem::is_regular_file("TempPdf.emf"));
}

TEST_F(LattixExports, SettingsComeFromTheNamedFileAtEveryCall)
{
    writeText(file("in"), "settings decide the shape of this symbol");
    // The default name is looked up in the current folder.
    writeText(file("EnCode.ini"), "[PDF]\r\nCols=4\r\nRows=12\r\n");
    expectSuccess(Bstr(Lattix("in")));
    Bytes bmp = readBytes("TempPdf.bmp");
    EXPECT_EQ(bmp[18] | bmp[19] << 8, 17 * 4 + 69);
    EXPECT_EQ(bmp[22], 12);

    lattix::test::TempFolder elsewhere;
    writeText(elsewhere.file("custom.ini"), "[pdf]\nCols=2\nTruncated=1\nECCLevel=3\n");
    SetConFile(elsewhere.file("custom.ini").c_str());
    expectSuccess(Bstr(Lattix("in")));
    bmp = readBytes("TempPdf.bmp");
    EXPECT_EQ(bmp[18] | bmp[19] << 8, 17 * (2 + 2) + 1);
    // Level 3 gives 16 check codewords: the descriptor leaves exactly that many positions.
    const Bytes dump = readBytes("TempCode.txt");
    const int count = std::stoi(std::string(dump.begin(), dump.begin() + 3));
    const int descriptor = std::stoi(std::string(dump.begin() + 5, dump.begin() + 8));
    EXPECT_EQ(count - descriptor, 16);
    const std::optional<Bytes> decoded = decodedBitmap();
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(std::string(decoded->begin(), decoded->end()), "settings decide the shape of this symbol");

    // A change of the file shows at the next call.
    writeText(elsewhere.file("custom.ini"), "[PDF]\nCols=3\n");
    expectSuccess(Bstr(Lattix("in")));
    bmp = readBytes("TempPdf.bmp");
    EXPECT_EQ(bmp[18] | bmp[19] << 8, 17 * 3 + 69);

    // A missing settings file gives the defaults.
    SetConFile(elsewhere.file("nosuch.ini").c_str());
    expectSuccess(Bstr(Lattix("in")));
    EXPECT_EQ(SetConFile(nullptr), 0);
    EXPECT_EQ(SetConFile(std::string(400, 'x').c_str()), 0) << "a long name is cut, not overrun";
}

} // namespace
