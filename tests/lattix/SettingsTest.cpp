#include "ProfileReader.h"
#include "SymbolSettings.h"

#include <gtest/gtest.h>

namespace lattix {
namespace {

TEST(ProfileReader, ReadsLikeThePrivateProfileFunctions)
{
    const ProfileReader profile = ProfileReader::fromText("; comment\r\n"
                                                          "[other]\r\n"
                                                          "Rows=7\r\n"
                                                          "  [ pdf ]  \r\n"
                                                          "  rows =  12  \r\n"
                                                          "Cols=5abc\r\n"
                                                          "Neg=-4\r\n"
                                                          "Plus=+8\r\n"
                                                          "Word=abc\r\n"
                                                          "Empty=\r\n"
                                                          "Quoted=\"1:3\"\r\n"
                                                          ";Truncated=1\r\n"
                                                          "Rows=99\r\n"
                                                          "Huge=99999999999\r\n"
                                                          "[PDF]\r\n"
                                                          "Truncated=1\r\n");
    EXPECT_EQ(profile.getInt("PDF", "Rows", 0), 12) << "case-insensitive names, trimmed, first key wins";
    EXPECT_EQ(profile.getInt("PDF", "Cols", 0), 5) << "leading digits";
    EXPECT_EQ(profile.getInt("PDF", "Neg", 0), -4);
    EXPECT_EQ(profile.getInt("PDF", "Plus", 0), 8);
    EXPECT_EQ(profile.getInt("PDF", "Word", 40), 0) << "no digits give 0";
    EXPECT_EQ(profile.getInt("PDF", "Empty", 40), 40) << "an empty value gives the default";
    EXPECT_EQ(profile.getInt("PDF", "Missing", 40), 40);
    EXPECT_EQ(profile.getInt("PDF", "Truncated", 0), 0) << "comment lines and later sections of the same name";
    EXPECT_EQ(profile.getInt("PDF", "Huge", 0), 2147483647);
    EXPECT_EQ(profile.getString("PDF", "Quoted", "1:2", 9), "1:3");
    EXPECT_EQ(profile.getString("PDF", "Missing", "1:2", 9), "1:2");
    EXPECT_EQ(profile.getInt("nosuch", "Rows", 3), 3);
}

TEST(ProfileReader, SkipsAUtf8ByteOrderMark)
{
    const ProfileReader profile = ProfileReader::fromText("\xEF\xBB\xBF[PDF]\r\nCols=6\r\n");
    EXPECT_EQ(profile.getInt("PDF", "Cols", 0), 6);
}

TEST(ProfileReader, MissingFileGivesDefaults)
{
    const SymbolSettings settings = SymbolSettings::readFile("/nonexistent/folder/EnCode.ini");
    const SymbolSettings defaults;
    EXPECT_EQ(settings.eccPercent, 40);
    EXPECT_EQ(settings.printerDpi, 600);
    EXPECT_EQ(settings.rows, 0);
    EXPECT_EQ(settings.cols, 0);
    EXPECT_EQ(settings.truncated, 0);
    EXPECT_EQ(settings.aspect, "1:2");
    EXPECT_EQ(settings.eccLevel, "9");
}

TEST(SymbolSettings, ReadsSectionPdfWithTheTextLimits)
{
    const SymbolSettings settings = SymbolSettings::read(ProfileReader::fromText("[PDF]\n"
                                                                                 "ECCPercent=401\n"
                                                                                 "PrinterDPI=300\n"
                                                                                 "Rows=10\n"
                                                                                 "Cols=4\n"
                                                                                 "Truncated=1\n"
                                                                                 "Aspect=1234567890:3\n"
                                                                                 "ECCLevel=12345\n"
                                                                                 "[SCAN]\n"
                                                                                 "Port=COM1\n"));
    EXPECT_EQ(settings.eccPercent, 401);
    EXPECT_EQ(settings.printerDpi, 300);
    EXPECT_EQ(settings.rows, 10);
    EXPECT_EQ(settings.cols, 4);
    EXPECT_EQ(settings.truncated, 1);
    EXPECT_EQ(settings.aspect, "123456789") << "at most 9 characters";
    EXPECT_EQ(settings.eccLevel, "1234") << "at most 4 characters";
}

} // namespace
} // namespace lattix
