#pragma once

#include "platform/Gbk.h"

namespace regdesk {

// Opens folders and files with the desktop's own programs (the file browser,
// the application registered for a file's type). The program started is not
// waited for: it runs on its own after the desk has moved on.
class DesktopOpener
{
public:
    virtual ~DesktopOpener() = default;
    // False when the desktop could not open it.
    virtual bool openFolder(const GbkString& path) = 0;
    virtual bool openFile(const GbkString& path) = 0;
};

} // namespace regdesk
