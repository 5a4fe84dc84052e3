#include "TempDeskFolder.h"
#include "platform/FileSystem.h"
#include "platform/ProcessLauncher.h"
#include "platform/ProcessList.h"
#include "platform/Text.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace regdesk::test {
namespace {

// Polls until the process ends; a bound only so that a hung child fails the test.
bool waitForEnd(LaunchedProcess& process)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!process.hasEnded()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

TEST(ProcProcessList, SkipsEndedProcessesAndFallsBackToTheShortName)
{
    TempDeskFolder proc;
    const QDir root(proc.path());
    auto addProcess = [&](const char* pid, const std::string& stat, const std::string& comm) {
        ASSERT_TRUE(root.mkpath(QString::fromUtf8(pid)));
        proc.writeFile(QString::fromUtf8(pid) + QStringLiteral("/stat"), stat + "\n");
        proc.writeFile(QString::fromUtf8(pid) + QStringLiteral("/comm"), comm + "\n");
    };
    addProcess("101", "101 (pdf417) Z 1 101 101", "pdf417");
    addProcess("102", "102 (my (odd) name) S 1 102 102", "my (odd) name");
    addProcess("103", "103 (Pdf417) R 1 103 103", "Pdf417");
    ASSERT_TRUE(root.mkpath(QStringLiteral("self")));

    const std::optional<std::vector<std::string>> names = ProcProcessList(proc.path().toStdString()).executableNames();
    ASSERT_TRUE(names);
    std::vector<std::string> sorted = *names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<std::string>{"Pdf417", "my (odd) name"}));
}

TEST(ProcProcessList, MissingRootCannotBeRead)
{
    EXPECT_EQ(ProcProcessList("/nonexistent-proc-root").executableNames(), std::nullopt);
}

TEST(ProcProcessList, SeesThisTestProgram)
{
    const std::optional<std::vector<std::string>> names = ProcProcessList().executableNames();
    ASSERT_TRUE(names);
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").filename().string();
    EXPECT_NE(std::find(names->begin(), names->end(), self), names->end());
}

TEST(PosixProcessLauncher, RunsInTheWorkingFolderAndKeepsTheErrorOutput)
{
    TempDeskFolder folder;
    PosixProcessLauncher launcher;
    const std::unique_ptr<LaunchedProcess> process =
        launcher.start("/bin/sh", {"-c", "pwd > where.txt; echo \"$0\" >> where.txt; echo 'no luck' >&2", "参数"_gbk},
                       folder.gbkPath());
    ASSERT_TRUE(process);
    ASSERT_TRUE(waitForEnd(*process));
    EXPECT_EQ(process->errorOutput(), "no luck\n");
    const std::optional<std::string> where = readWholeFile(joinPath(folder.gbkPath(), "where.txt"));
    ASSERT_TRUE(where);
    EXPECT_EQ(*where, QDir(folder.path()).canonicalPath().toStdString() + "\n参数\n");
}

TEST(PosixProcessLauncher, EndedChildIsNoLongerListedAsRunning)
{
    TempDeskFolder folder;
    const std::string copy = QDir(folder.path()).filePath(QStringLiteral("regdesk-probe")).toStdString();
    std::filesystem::copy_file("/bin/true", copy);
    PosixProcessLauncher launcher;
    const std::unique_ptr<LaunchedProcess> process = launcher.start(fromNativePath(copy), {}, folder.gbkPath());
    ASSERT_TRUE(waitForEnd(*process));
    const std::optional<std::vector<std::string>> names = ProcProcessList().executableNames();
    ASSERT_TRUE(names);
    EXPECT_EQ(std::find(names->begin(), names->end(), "regdesk-probe"), names->end());
}

TEST(PosixProcessLauncher, ChildLetGoOfWhileRunningLeavesNoZombie)
{
    TempDeskFolder folder;
    PosixProcessLauncher launcher;
    // The child tells its pid and runs until the test lets it end.
    std::unique_ptr<LaunchedProcess> process =
        launcher.start("/bin/sh", {"-c", "echo $$ > pid.tmp && mv pid.tmp pid; while [ ! -e go ]; do sleep 0.02; done"},
                       folder.gbkPath());
    const QString pidFile = folder.filePath(QStringLiteral("pid"));
    for (int tries = 0; tries < 2000 && !QFileInfo::exists(pidFile); ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const std::string proc =
        "/proc/" + std::string(trimBlanks(readWholeFile(fromNativePath(pidFile.toStdString())).value_or("")));

    process.reset(); // still running, as when a second 生成条码 replaces it
    ASSERT_TRUE(writeWholeFile(joinPath(folder.gbkPath(), "go"), ""));
    // Reaped, not left a zombie: the process table no longer holds it.
    for (int tries = 0; tries < 2000 && std::filesystem::exists(proc); ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(std::filesystem::exists(proc));
}

TEST(PosixProcessLauncher, MissingProgramHasEndedWithAReason)
{
    TempDeskFolder folder;
    PosixProcessLauncher launcher;
    const std::unique_ptr<LaunchedProcess> process =
        launcher.start(joinPath(folder.gbkPath(), "pdf417"), {folder.gbkPath()}, folder.gbkPath());
    ASSERT_TRUE(process);
    EXPECT_TRUE(process->hasEnded());
    EXPECT_NE(process->errorOutput().find("pdf417"), std::string::npos);
}

} // namespace
} // namespace regdesk::test
