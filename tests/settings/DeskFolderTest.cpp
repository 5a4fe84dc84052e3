#include "settings/DeskFolder.h"

#include <gtest/gtest.h>

using namespace regdesk;

namespace {

TEST(DeskFolder, NamedFolderIsMadeAbsoluteWithoutTrailingSeparators)
{
    EXPECT_EQ(namedDeskFolder(nullptr, "/home/li"), std::nullopt);
    EXPECT_EQ(namedDeskFolder("", "/home/li"), std::nullopt);
    EXPECT_EQ(namedDeskFolder("/srv/desk/", "/home/li"), "/srv/desk");
    EXPECT_EQ(namedDeskFolder("desk//", "/home/li"), "/home/li/desk");
    EXPECT_EQ(namedDeskFolder("desk", "/"), "/desk");
    EXPECT_EQ(namedDeskFolder("/", "/home/li"), "/");
    EXPECT_EQ(namedDeskFolder("  登记 ", "/home/li"), "/home/li/  登记 ");
}

TEST(DeskFolder, InstalledDeskKeepsItsFilesInTheDeskFolderAndItsProgramsApart)
{
    const StartupPaths start =
        resolvePosixStartup({"/usr/lib/regdesk/regdesk", "/home/li/a.doc"}, "/usr/lib/regdesk/regdesk");
    EXPECT_EQ(start.programsFolder, "");
    const StartupPaths paths = inDeskFolder(start, "/home/li/.local/share/regdesk");
    EXPECT_EQ(paths.programDirectory, "/home/li/.local/share/regdesk");
    EXPECT_EQ(paths.settingsPath, "/home/li/.local/share/regdesk/document.ini");
    EXPECT_EQ(paths.programsFolder, "/usr/lib/regdesk");
    EXPECT_EQ(paths.documentPath, " /home/li/a.doc");
}

} // namespace
