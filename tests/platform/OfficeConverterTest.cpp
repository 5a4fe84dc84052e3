#include "platform/OfficeConverter.h"

#include "TempDeskFolder.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace regdesk::test {
namespace {

using namespace std::chrono_literals;

// A stand-in for soffice: a shell script with the given body.
GbkString writeFakeOffice(TempDeskFolder& folder, const std::string& body)
{
    folder.writeFile(QStringLiteral("fake-soffice"), "#!/bin/sh\n" + body);
    const GbkString path = joinPath(folder.gbkPath(), "fake-soffice");
    ::chmod(toNativePath(path).c_str(), 0755);
    return path;
}

// Alive and not a zombie.
bool isRunning(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string pidText, name, state;
    if (!(stat >> pidText >> name >> state))
        return false;
    return state != "Z" && state != "X";
}

TEST(OfficeConverter, OutputTakesTheInputsBaseNameAndTheTargetsExtension)
{
    EXPECT_EQ(OfficeConverter::outputPathFor("/a/收文清单.xlt"_gbk, "fods", "/tmp/x"), "/tmp/x/收文清单.fods"_gbk);
    EXPECT_EQ(OfficeConverter::outputPathFor("/a/b.c.fods", "xls:MS Excel 97", "/o"), "/o/b.c.xls");
    EXPECT_EQ(OfficeConverter::outputPathFor("/a/doc", "txt:Text (encoded):GBK", "/o"), "/o/doc.txt");
}

TEST(OfficeConverter, AMissingProgramIsReportedNotRun)
{
    OfficeConverter converter("/nonexistent/soffice");
    EXPECT_FALSE(converter.isAvailable());
    const OfficeConverter::Result result = converter.convert("/tmp/in.fods", "xls", "/tmp");
    EXPECT_FALSE(result.converted);
    EXPECT_NE(result.reason.find("not installed"), std::string::npos) << result.reason;
}

TEST(OfficeConverter, ExitingWithoutOutputIsAFailureAndAnOldOutputIsGone)
{
    TempDeskFolder folder;
    folder.writeFile(QStringLiteral("in.fods"), "<x/>");
    folder.writeFile(QStringLiteral("in.xls"), "old list"); // must not pass for the new one
    OfficeConverter converter(writeFakeOffice(folder, "echo 'Error: source file could not be loaded'\nexit 0\n"));

    const OfficeConverter::Result result =
        converter.convert(joinPath(folder.gbkPath(), "in.fods"), "xls:MS Excel 97", folder.gbkPath());

    EXPECT_FALSE(result.converted);
    EXPECT_NE(result.reason.find("source file could not be loaded"), std::string::npos) << result.reason;
    EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("in.xls"))));
}

TEST(OfficeConverter, AHungConversionIsKilledWithItsWholeProcessGroup)
{
    TempDeskFolder folder;
    folder.writeFile(QStringLiteral("in.fods"), "<x/>");
    // The script leaves a helper behind, as soffice leaves soffice.bin, then hangs itself.
    const std::string pidFile = folder.filePath(QStringLiteral("helper.pid")).toStdString();
    OfficeConverter converter(writeFakeOffice(folder, "sleep 60 &\necho $! > '" + pidFile + "'\nsleep 60\n"));

    const auto began = std::chrono::steady_clock::now();
    const OfficeConverter::Result result =
        converter.convert(joinPath(folder.gbkPath(), "in.fods"), "xls", folder.gbkPath(), 300ms);

    EXPECT_FALSE(result.converted);
    EXPECT_NE(result.reason.find("did not finish"), std::string::npos) << result.reason;
    EXPECT_TRUE(result.timedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - began, 20s); // not the 60 s of the script
    pid_t helper = 0;
    std::ifstream(pidFile) >> helper;
    ASSERT_GT(helper, 0);
    // The orphaned helper is reaped by whoever adopts it; it must be dead at least.
    for (int i = 0; i < 200 && isRunning(helper); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(isRunning(helper));
}

// Runs `work` with the current folder set to `folder`, and restores it.
template <typename Work> auto inFolder(const TempDeskFolder& folder, Work work)
{
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(folder.path().toStdString());
    auto result = work();
    std::filesystem::current_path(before);
    return result;
}

TEST(OfficeConverter, ARelativeNameStartingWithADashIsNoOption)
{
    TempDeskFolder folder;
    folder.writeFile(QStringLiteral("-名单.fods"), "<x/>");
    // The stand-in takes arguments starting with "-" for options, as soffice does.
    OfficeConverter converter(REGDESK_TEST_DATA "/fake-soffice");

    const OfficeConverter::Result result =
        inFolder(folder, [&] { return converter.convert("-名单.fods"_gbk, "xls:MS Excel 97", "."); });

    EXPECT_TRUE(result.converted) << result.reason;
    EXPECT_EQ(readWholeFile(joinPath(folder.gbkPath(), "-名单.xls"_gbk)), std::optional<std::string>("<x/>"));
}

TEST(OfficeConverter, ConvertsWithLibreOfficeWhenInstalled)
{
    OfficeConverter converter;
    if (!converter.isAvailable())
        GTEST_SKIP() << "soffice is not installed: the LibreOffice conversion is not exercised";
    TempDeskFolder folder;
    folder.writeFile(QStringLiteral("名单.csv"), "姓名\n张三\n");

    const OfficeConverter::Result result =
        converter.convert(joinPath(folder.gbkPath(), "名单.csv"_gbk), "xls:MS Excel 97", folder.gbkPath());

    ASSERT_TRUE(result.converted) << result.reason;
    EXPECT_EQ(result.outputPath, joinPath(folder.gbkPath(), "名单.xls"_gbk));
    const std::optional<std::string> bytes = readWholeFile(result.outputPath);
    ASSERT_TRUE(bytes && bytes->size() > 8);
    EXPECT_EQ(bytes->substr(0, 4), "\xD0\xCF\x11\xE0"); // an OLE compound file, as Excel writes
}

} // namespace
} // namespace regdesk::test
