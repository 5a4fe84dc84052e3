#pragma once

#include "platform/DesktopOpener.h"

namespace regdesk {

// Through QDesktopServices, which hands the path to xdg-open, started detached.
class QtDesktopOpener final : public DesktopOpener
{
public:
    bool openFolder(const GbkString& path) override;
    bool openFile(const GbkString& path) override;
};

} // namespace regdesk
