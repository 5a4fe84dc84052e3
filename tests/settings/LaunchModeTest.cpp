#include "settings/LaunchMode.h"

#include <gtest/gtest.h>

using namespace regdesk;

namespace {

struct WindowsCase
{
    const char* name;
    const char* commandLine;
    const char* programDirectory;
    const char* documentPath;
};

class WindowsLaunchTest : public ::testing::TestWithParam<WindowsCase>
{
};

TEST_P(WindowsLaunchTest, ResolvesPaths)
{
    const WindowsCase& c = GetParam();
    const StartupPaths paths = resolveWindowsStartup(c.commandLine, R"(C:\Desk\regdesk.exe)");
    EXPECT_EQ(paths.programDirectory, c.programDirectory);
    EXPECT_EQ(paths.documentPath, c.documentPath);
    EXPECT_EQ(paths.settingsPath, std::string(c.programDirectory) + "\\document.ini");
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, WindowsLaunchTest,
    ::testing::Values(WindowsCase{"PlainStart", R"("C:\Desk\regdesk.exe")", R"(C:\Desk)", ""},
                      WindowsCase{"QuotedAddinStart", R"("C:\Desk\regdesk.exe" "D:\公文\通知.doc")", R"(C:\Desk)",
                                  R"( D:\公文\通知.doc)"},
                      WindowsCase{"Docx", R"(C:\Desk\regdesk.exe D:\a.docx)", R"(C:\Desk)", R"( D:\a.docx)"},
                      WindowsCase{"Wps", R"(C:\Desk\regdesk.exe D:\a.wps)", R"(C:\Desk)", R"( D:\a.wps)"},
                      WindowsCase{"CapitalExtensionIsPlain", R"(C:\Desk\regdesk.exe D:\A.DOC)", R"(C:\Desk)", ""},
                      // A plain start from a folder named like a document takes the add-in branch, but
                      // nothing stands behind ".exe", so the document path stays empty.
                      WindowsCase{"FolderHoldingDoc", R"("C:\x.doc\regdesk.exe")", R"(C:\x.doc)", ""},
                      WindowsCase{"NoBackslash", R"(regdesk.exe a.doc)", "", " a.doc"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(WindowsLaunch, DocumentExtensionWithoutExeFallsBackToTheModule)
{
    const StartupPaths paths = resolveWindowsStartup("regdesk a.doc", R"(C:\Desk\regdesk.exe)");
    EXPECT_EQ(paths.programDirectory, R"(C:\Desk)");
    EXPECT_EQ(paths.documentPath, " regdesk a.doc");
}

struct PosixCase
{
    const char* name;
    std::vector<GbkString> arguments;
    const char* documentPath;
};

class PosixLaunchTest : public ::testing::TestWithParam<PosixCase>
{
};

TEST_P(PosixLaunchTest, ResolvesPaths)
{
    const PosixCase& c = GetParam();
    const StartupPaths paths = resolvePosixStartup(c.arguments, "/opt/desk/regdesk");
    // The program directory never comes from argv[0].
    EXPECT_EQ(paths.programDirectory, "/opt/desk");
    EXPECT_EQ(paths.settingsPath, "/opt/desk/document.ini");
    EXPECT_EQ(paths.documentPath, c.documentPath);
    EXPECT_EQ(paths.isAddinStart(), !std::string(c.documentPath).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, PosixLaunchTest,
    ::testing::Values(PosixCase{"Plain", {"./regdesk"}, ""},
                      PosixCase{"Document", {"regdesk", "/home/a/通知.doc"}, " /home/a/通知.doc"},
                      PosixCase{"DocumentWithBlanks", {"regdesk", "/home/a/my", "file.docx"}, " /home/a/my file.docx"},
                      PosixCase{"QuotesRemoved", {"regdesk", "\"/home/a/b.wps\""}, " /home/a/b.wps"},
                      PosixCase{"CapitalExtension", {"regdesk", "/home/a/B.DOC"}, ""},
                      PosixCase{"ProgramInDocFolder", {"/srv/x.doc/regdesk"}, ""},
                      PosixCase{"ArgumentWithoutExtensionButFolderHasOne", {"/srv/x.doc/regdesk", "notes"}, " notes"}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
