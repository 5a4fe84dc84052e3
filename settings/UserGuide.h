#pragma once

#include "platform/Gbk.h"

class QWidget;

namespace regdesk {

class DesktopOpener;
class Prompter;

// The user guide (用户手册), built as HTML from docs/guide and installed as the
// folder guide/ beside the programs. Each window's chapter is a page of its
// own: xdg-open drops the #fragment of a file URL on many desktops, so a
// page, not an anchor, is what reliably opens at the right chapter.
enum class GuideChapter
{
    RegistrationForm, // the full form: 发文登记 and 收文登记
    AddinForm,        // the compact form of an add-in start
    QueryWindow,      // 收发文查询
};

// The chapter's page, e.g. "query.html".
const char* guidePageName(GuideChapter chapter);

// programsFolder/guide/<page>
GbkString guidePagePath(const GbkString& programsFolder, GuideChapter chapter);

// F1: opens the chapter's page with the desktop's browser. A guide that is not
// installed, or a desktop that cannot show it, is told in a box owned by
// `owner` with the path looked for. True when the page was handed over.
bool openUserGuide(DesktopOpener& opener, Prompter& prompter, QWidget* owner, const GbkString& programsFolder,
                   GuideChapter chapter);

} // namespace regdesk
