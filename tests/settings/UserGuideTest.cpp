#include "settings/UserGuide.h"

#include "FakeDesktopOpener.h"
#include "FakePrompter.h"
#include "TempDeskFolder.h"
#include "platform/GbkQt.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace regdesk;

namespace {

class UserGuide : public ::testing::Test
{
protected:
    GbkString programs() const { return m_folder.gbkPath(); }
    GbkString page(GuideChapter chapter) const { return guidePagePath(programs(), chapter); }
    bool open(GuideChapter chapter) { return openUserGuide(m_opener, m_prompter, nullptr, programs(), chapter); }

    test::TempDeskFolder m_folder;
    test::FakeDesktopOpener m_opener;
    test::FakePrompter m_prompter;
};

TEST_F(UserGuide, EachWindowHasItsPageInTheGuideFolderBesideThePrograms)
{
    EXPECT_EQ(guidePagePath("/usr/lib/regdesk", GuideChapter::RegistrationForm), "/usr/lib/regdesk/guide/form.html");
    EXPECT_EQ(guidePagePath("/srv/登记台"_gbk, GuideChapter::AddinForm), "/srv/登记台/guide/addin.html"_gbk);
    EXPECT_EQ(guidePagePath("/opt/desk", GuideChapter::QueryWindow), "/opt/desk/guide/query.html");
}

TEST_F(UserGuide, PageIsHandedToTheDesktop)
{
    ASSERT_TRUE(QDir(m_folder.path()).mkdir(QStringLiteral("guide")));
    m_folder.writeFile(QStringLiteral("guide/query.html"), "<html></html>");
    EXPECT_TRUE(open(GuideChapter::QueryWindow));
    EXPECT_EQ(m_opener.openedFiles(), std::vector<GbkString>{page(GuideChapter::QueryWindow)});
    EXPECT_TRUE(m_prompter.texts().isEmpty());
}

TEST_F(UserGuide, MissingGuideIsToldWithThePathLookedFor)
{
    // No guide folder at all, then a folder where the page should be.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt == 1) {
            ASSERT_TRUE(QDir(m_folder.path()).mkpath(QStringLiteral("guide/form.html")));
        }
        m_prompter.clear();
        EXPECT_FALSE(open(GuideChapter::RegistrationForm));
        ASSERT_EQ(m_prompter.texts().size(), 1);
        EXPECT_TRUE(m_prompter.texts().front().startsWith(QStringLiteral("找不到用户手册：\n") +
                                                          toQString(page(GuideChapter::RegistrationForm))));
        EXPECT_EQ(m_prompter.captions(), QStringList{QStringLiteral("帮助")});
    }
    EXPECT_TRUE(m_opener.openedFiles().empty());
}

TEST_F(UserGuide, DesktopWithoutABrowserIsTold)
{
    ASSERT_TRUE(QDir(m_folder.path()).mkdir(QStringLiteral("guide")));
    m_folder.writeFile(QStringLiteral("guide/addin.html"), "<html></html>");
    m_opener.failFiles();
    EXPECT_FALSE(open(GuideChapter::AddinForm));
    ASSERT_EQ(m_prompter.texts().size(), 1);
    EXPECT_TRUE(m_prompter.texts().front().startsWith(QStringLiteral("无法打开用户手册：\n") +
                                                      toQString(page(GuideChapter::AddinForm))));
}

} // namespace
