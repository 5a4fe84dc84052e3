// The encoder program, run as the registration desk runs it: in its folder, with the folder as its
// parameter.
#include "support/TempFolder.h"
#include "support/ZxingDecoder.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>

namespace {

using lattix::Bytes;
using lattix::test::readBytes;
using lattix::test::TempFolder;
using lattix::test::writeBytes;
using lattix::test::writeText;

struct ProgramRun
{
    int status = -1;
    std::string stdoutText;
    std::string stderrText;
};

ProgramRun runEncoderIn(const std::filesystem::path& folder, const TempFolder& logs)
{
    const std::string command = "cd '" + folder.string() + "' && '" PDF417_PROGRAM "' '" + folder.string() + "' >'" +
                                logs.file("out") + "' 2>'" + logs.file("err") + "'";
    const int raw = std::system(command.c_str());
    ProgramRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    const Bytes out = readBytes(logs.file("out"));
    const Bytes err = readBytes(logs.file("err"));
    run.stdoutText.assign(out.begin(), out.end());
    run.stderrText.assign(err.begin(), err.end());
    return run;
}

ProgramRun runEncoder(const TempFolder& folder, const TempFolder& logs)
{
    return runEncoderIn(folder.path(), logs);
}

const char* const kOutputs[] = {"TempPdf.bmp", "TempPdf.emf", "TempPdf.wmf", "TempCode.txt"};

TEST(Pdf417Program, EncodesTxtTempWithMakeBarCodeSettings)
{
    TempFolder folder;
    TempFolder logs;
    const std::string payload = "GB0626-2005^\xb7\xa8\xa1\xb2"
                                "2024\xa1\xb3"
                                "12\xba\xc5^^|\r\n";
    writeText(folder.file("TxtTemp.txt"), payload);
    writeText(folder.file("MakeBarCode.ini"), "[PDF]\r\nCols=5\r\nWidth=50\r\nHeight=20\r\n");
    const ProgramRun run = runEncoder(folder, logs);
    EXPECT_EQ(run.status, 0) << run.stderrText;
    EXPECT_EQ(run.stdoutText, "");
    EXPECT_EQ(run.stderrText, "");
    for (const char* name : kOutputs)
        EXPECT_TRUE(std::filesystem::is_regular_file(folder.path() / name)) << name;
    EXPECT_TRUE(std::filesystem::is_regular_file(folder.path() / "TxtTemp.txt"));
    EXPECT_TRUE(std::filesystem::is_regular_file(folder.path() / "MakeBarCode.ini"));
    const Bytes bmp = readBytes(folder.file("TempPdf.bmp"));
    ASSERT_GT(bmp.size(), 62U);
    EXPECT_EQ(bmp[18] | bmp[19] << 8, 17 * 5 + 69);
    const std::optional<Bytes> decoded = lattix::test::decodeBitmap(bmp);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(std::string(decoded->begin(), decoded->end()), payload);
}

TEST(Pdf417Program, FindsItsSettingsInAFolderWithAPathOfMoreThan255Bytes)
{
    TempFolder root;
    TempFolder logs;
    std::filesystem::path folder = root.path();
    for (int level = 0; level < 5; ++level)
        folder /= std::string(60, static_cast<char>('a' + level));
    std::filesystem::create_directories(folder);
    ASSERT_GT((folder / "MakeBarCode.ini").string().size(), 255U);
    writeText((folder / "TxtTemp.txt").string(), "deep folder");
    writeText((folder / "MakeBarCode.ini").string(), "[PDF]\r\nCols=4\r\n");
    const ProgramRun run = runEncoderIn(folder, logs);
    EXPECT_EQ(run.status, 0) << run.stderrText;
    const Bytes bmp = readBytes((folder / "TempPdf.bmp").string());
    ASSERT_GT(bmp.size(), 62U);
    EXPECT_EQ(bmp[18] | bmp[19] << 8, 17 * 4 + 69);
}

struct FailureCase
{
    const char* name;
    bool writeInput;
    std::size_t inputBytes;
    const char* blockedOutput; // made a folder with a file inside, so it cannot be written
};

class Pdf417ProgramFailures : public testing::TestWithParam<FailureCase>
{
};

TEST_P(Pdf417ProgramFailures, EndWithStatusAndOneLineReason)
{
    const FailureCase& c = GetParam();
    TempFolder folder;
    TempFolder logs;
    if (c.writeInput)
        writeBytes(folder.file("TxtTemp.txt"), Bytes(c.inputBytes, 0xB0));
    if (c.blockedOutput) {
        std::filesystem::create_directory(folder.path() / c.blockedOutput);
        writeText((folder.path() / c.blockedOutput / "keep").string(), "x");
    }
    const ProgramRun run = runEncoder(folder, logs);
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.stdoutText, "");
    ASSERT_FALSE(run.stderrText.empty());
    EXPECT_EQ(run.stderrText.find('\n'), run.stderrText.size() - 1) << run.stderrText;
    if (c.blockedOutput) {
        EXPECT_NE(run.stderrText.find(c.blockedOutput), std::string::npos) << run.stderrText;
    }
}

const FailureCase kFailures[] = {
    {"MissingInput", false, 0, nullptr},
    {"EmptyInput", true, 0, nullptr},
    {"InputTooLargeForOneSymbol", true, 2000, nullptr},
    {"BitmapNotWritable", true, 10, "TempPdf.bmp"},
    {"WindowsMetafileNotWritable", true, 10, "TempPdf.wmf"},
    {"DumpNotWritable", true, 10, "TempCode.txt"},
};

INSTANTIATE_TEST_SUITE_P(Cases, Pdf417ProgramFailures, testing::ValuesIn(kFailures),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(Pdf417Program, StaleOutputsOfAnEarlierRunDoNotCountAsWritten)
{
    TempFolder folder;
    TempFolder logs;
    for (const char* name : kOutputs)
        writeText(folder.file(name), "old");
    writeBytes(folder.file("TxtTemp.txt"), Bytes(2000, 0xB0));
    const ProgramRun run = runEncoder(folder, logs);
    EXPECT_NE(run.status, 0);
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "TempPdf.bmp"));
}

TEST(Pdf417Program, InputBeyondWhatOneSymbolTakesIsRefusedRatherThanCut)
{
    // Digits in a symbol of 32 rows and 29 columns with two check codewords: 2710 of them just fit.
    for (const std::size_t digits : {std::size_t{2710}, std::size_t{2711}}) {
        SCOPED_TRACE(digits);
        TempFolder folder;
        TempFolder logs;
        writeText(folder.file("TxtTemp.txt"), std::string(digits, '1'));
        writeText(folder.file("MakeBarCode.ini"), "[PDF]\r\nECCLevel=0\r\nRows=32\r\nCols=29\r\n");
        const ProgramRun run = runEncoder(folder, logs);
        if (digits == 2710) {
            EXPECT_EQ(run.status, 0) << run.stderrText;
            continue;
        }
        EXPECT_NE(run.status, 0);
        EXPECT_EQ(run.stderrText.find('\n'), run.stderrText.size() - 1) << run.stderrText;
        EXPECT_NE(run.stderrText.find("TxtTemp.txt"), std::string::npos) << run.stderrText;
        EXPECT_FALSE(std::filesystem::exists(folder.path() / "TempPdf.bmp"));
    }
}

} // namespace
