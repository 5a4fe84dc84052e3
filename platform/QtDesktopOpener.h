#pragma once

#include "platform/DesktopOpener.h"

namespace regdesk {

// Through QDesktopServices, which hands the folder to xdg-open.
class QtDesktopOpener final : public DesktopOpener
{
public:
    bool openFolder(const GbkString& path) override;
};

} // namespace regdesk
