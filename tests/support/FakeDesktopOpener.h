#pragma once

#include "platform/DesktopOpener.h"

#include <vector>

namespace regdesk::test {

// Records the folders the desk would have shown in the file browser.
class FakeDesktopOpener final : public DesktopOpener
{
public:
    bool openFolder(const GbkString& path) override
    {
        m_opened.push_back(path);
        return true;
    }
    const std::vector<GbkString>& openedFolders() const { return m_opened; }

private:
    std::vector<GbkString> m_opened;
};

} // namespace regdesk::test
