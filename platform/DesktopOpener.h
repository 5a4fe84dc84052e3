#pragma once

#include "platform/Gbk.h"

namespace regdesk {

// Opens folders and files with the desktop's own programs (the file browser).
class DesktopOpener
{
public:
    virtual ~DesktopOpener() = default;
    // False when the desktop could not open it.
    virtual bool openFolder(const GbkString& path) = 0;
};

} // namespace regdesk
