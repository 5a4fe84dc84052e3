#include "platform/XdgDesktopOpener.h"

#include "TempDeskFolder.h"
#include "platform/FileSystem.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace regdesk::test {
namespace {

using namespace std::chrono_literals;

// A stand-in for xdg-open that records its argument and does `body`.
std::string fakeOpener(TempDeskFolder& folder, const std::string& body)
{
    const std::string log = folder.filePath(QStringLiteral("opened")).toStdString();
    folder.writeFile(QStringLiteral("xdg-open"), "#!/bin/sh\necho \"$1\" > '" + log + "'\n" + body + "\n");
    const std::string path = folder.filePath(QStringLiteral("xdg-open")).toStdString();
    ::chmod(path.c_str(), 0755);
    return path;
}

std::string zombieState(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string pidText, name, state;
    stat >> pidText >> name >> state;
    return state;
}

TEST(XdgDesktopOpener, TheOpenersExitStatusIsTheAnswer)
{
    TempDeskFolder folder;
    EXPECT_TRUE(XdgDesktopOpener(fakeOpener(folder, "exit 0")).openFile("/tmp/收文清单.xls"_gbk));
    std::string opened;
    std::getline(std::ifstream(folder.filePath(QStringLiteral("opened")).toStdString()), opened);
    EXPECT_EQ(opened, "/tmp/收文清单.xls");
    // xdg-open's "no method available": nothing will show the file.
    EXPECT_FALSE(XdgDesktopOpener(fakeOpener(folder, "exit 3")).openFolder("/tmp"));
    EXPECT_FALSE(XdgDesktopOpener("/nonexistent/xdg-open").openFolder("/tmp"));
}

TEST(XdgDesktopOpener, ARelativeNameStartingWithADashGoesAsAnAbsolutePath)
{
    TempDeskFolder folder;
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(folder.path().toStdString());
    const std::string inside = std::filesystem::current_path().string();
    const bool opened = XdgDesktopOpener(fakeOpener(folder, "exit 0")).openFolder("-二维码"_gbk);
    std::filesystem::current_path(before);

    EXPECT_TRUE(opened);
    std::string argument;
    std::getline(std::ifstream(folder.filePath(QStringLiteral("opened")).toStdString()), argument);
    EXPECT_EQ(argument, inside + "/-二维码");
}

TEST(XdgDesktopOpener, AnOpenerStillRunningCountsAsShownAndIsReapedLater)
{
    TempDeskFolder folder;
    const std::string pidFile = folder.filePath(QStringLiteral("pid")).toStdString();
    pid_t pid = 0;
    {
        XdgDesktopOpener opener(fakeOpener(folder, "echo $$ > '" + pidFile + "'\nsleep 1"), 100ms);
        EXPECT_TRUE(opener.openFile("/tmp/a.xls"));
        std::ifstream(pidFile) >> pid;
        ASSERT_GT(pid, 0);
        // The opener's program goes on after the answer; once it ends it leaves no zombie.
        for (int i = 0; i < 300 && !zombieState(pid).empty(); ++i)
            std::this_thread::sleep_for(10ms);
        EXPECT_EQ(zombieState(pid), std::string());
    }
}

} // namespace
} // namespace regdesk::test
