#include "settings/UserGuide.h"

#include "platform/DesktopOpener.h"
#include "platform/FileSystem.h"
#include "platform/GbkQt.h"
#include "platform/Prompter.h"

#include <sys/stat.h>

namespace regdesk {

namespace {

constexpr const char* kCaption = "帮助";

// Only a regular file (or a link to one) is a page: a folder of that name is not.
bool isRegularFile(const GbkString& path)
{
    struct stat status
    {
    };
    return ::stat(toNativePath(path).c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

} // namespace

const char* guidePageName(GuideChapter chapter)
{
    switch (chapter) {
    case GuideChapter::RegistrationForm:
        return "form.html";
    case GuideChapter::AddinForm:
        return "addin.html";
    case GuideChapter::QueryWindow:
        return "query.html";
    }
    return "index.html";
}

GbkString guidePagePath(const GbkString& programsFolder, GuideChapter chapter)
{
    return joinPath(joinPath(programsFolder, "guide"), guidePageName(chapter));
}

bool openUserGuide(DesktopOpener& opener, Prompter& prompter, QWidget* owner, const GbkString& programsFolder,
                   GuideChapter chapter)
{
    const GbkString page = guidePagePath(programsFolder, chapter);
    const QString shown = toQString(page);
    if (!isRegularFile(page)) {
        prompter.inform(owner,
                        QStringLiteral("找不到用户手册：\n%1\n\n用户手册装在程序文件夹的 guide 文件夹中。"
                                       "请管理员重新运行安装（scripts/setup.sh）或重新安装 regdesk 软件包。")
                            .arg(shown),
                        QString::fromUtf8(kCaption), Prompter::Icon::Warning);
        return false;
    }
    if (!opener.openFile(page)) {
        prompter.inform(owner,
                        QStringLiteral("无法打开用户手册：\n%1\n\n桌面没有打开网页（.html）的程序。"
                                       "请安装浏览器，或直接用浏览器打开上面的文件。")
                            .arg(shown),
                        QString::fromUtf8(kCaption), Prompter::Icon::Warning);
        return false;
    }
    return true;
}

} // namespace regdesk
