#include "platform/DiagnosticsLog.h"

#include "platform/FileSystem.h"

#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <regex>

using namespace regdesk;

namespace {

struct FileClose
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string fileText(const std::string& path)
{
    return readWholeFile(fromNativePath(path)).value_or("<missing>");
}

TEST(DiagnosticsLog, UnderSystemdAnEntryIsOneLineWithItsPriorityPrefix)
{
    const std::unique_ptr<std::FILE, FileClose> stream(std::tmpfile());
    ASSERT_TRUE(stream);
    const DiagnosticsLog log("/nonexistent", "regdesk", stream.get());
    EXPECT_TRUE(log.toJournal());
    log.write(LogPriority::Error, "条码生成失败\r\npdf417: TxtTemp.txt is missing\n");
    log.write(LogPriority::Warning, "conversion timed out");
    std::rewind(stream.get());
    char buffer[256] = {};
    const std::size_t size = std::fread(buffer, 1, sizeof buffer - 1, stream.get());
    EXPECT_EQ(std::string(buffer, size), "<3>条码生成失败  pdf417: TxtTemp.txt is missing\n<4>conversion timed out\n");
}

TEST(DiagnosticsLog, FileEntryNamesTimeProgramAndPriorityAndIsCutOnACharacter)
{
    QTemporaryDir dir;
    const DiagnosticsLog log(fromNativePath(dir.path().toStdString()), "regdesk-admin", nullptr);
    EXPECT_FALSE(log.toJournal());
    log.write(LogPriority::Error, "cannot open the register");
    std::string longText(DiagnosticsLog::kMaxEntryBytes - 1, 'a');
    longText += "发文号"; // its first character straddles the cut
    log.write(LogPriority::Notice, longText);
    const std::string text = fileText(dir.filePath(QStringLiteral("regdesk.log")).toStdString());
    const std::size_t firstEnd = text.find('\n');
    ASSERT_NE(firstEnd, std::string::npos);
    const std::string first = text.substr(0, firstEnd);
    EXPECT_TRUE(std::regex_match(
        first, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d regdesk-admin\[\d+\] error: cannot open the register)")))
        << first;
    const std::string second = text.substr(firstEnd + 1);
    EXPECT_TRUE(second.ends_with(": " + std::string(DiagnosticsLog::kMaxEntryBytes - 1, 'a') + "\n"));
}

TEST(DiagnosticsLog, RotatesAtTheLimitAndKeepsThreeOldFiles)
{
    QTemporaryDir dir;
    const DiagnosticsLog log(fromNativePath(dir.path().toStdString()), "regdesk", nullptr);
    const std::string entry(DiagnosticsLog::kMaxEntryBytes - 100, 'x');
    const std::filesystem::path folder = dir.path().toStdString();
    // Enough entries for five files' worth.
    const std::size_t perFile = DiagnosticsLog::kRotateAtBytes / DiagnosticsLog::kMaxEntryBytes + 1;
    for (std::size_t i = 0; i < 5 * perFile; ++i)
        log.write(LogPriority::Notice, entry);
    for (const char* name : {"regdesk.log", "regdesk.log.1", "regdesk.log.2", "regdesk.log.3"}) {
        ASSERT_TRUE(std::filesystem::exists(folder / name)) << name;
        EXPECT_LE(std::filesystem::file_size(folder / name), DiagnosticsLog::kRotateAtBytes) << name;
    }
    EXPECT_GT(std::filesystem::file_size(folder / "regdesk.log.1"), DiagnosticsLog::kRotateAtBytes - 2 * entry.size());
    EXPECT_FALSE(std::filesystem::exists(folder / "regdesk.log.4"));
}

TEST(DiagnosticsLog, NeverFollowsALinkPlantedInTheFolder)
{
    QTemporaryDir dir;
    const std::filesystem::path folder = dir.path().toStdString();
    const std::filesystem::path target = folder / "elsewhere";
    std::filesystem::create_symlink(target, folder / "regdesk.log");
    const DiagnosticsLog log(fromNativePath(folder.string()), "regdesk", nullptr);
    log.write(LogPriority::Error, "x");
    EXPECT_FALSE(std::filesystem::exists(target));
}

} // namespace
