#pragma once

#include "platform/DesktopOpener.h"

#include <vector>

namespace regdesk::test {

// Records the folders and files the desk would have shown with the desktop's programs.
class FakeDesktopOpener final : public DesktopOpener
{
public:
    bool openFolder(const GbkString& path) override
    {
        m_opened.push_back(path);
        return true;
    }
    bool openFile(const GbkString& path) override
    {
        m_openedFiles.push_back(path);
        return m_filesOpen;
    }
    const std::vector<GbkString>& openedFolders() const { return m_opened; }
    const std::vector<GbkString>& openedFiles() const { return m_openedFiles; }
    // Makes openFile fail, as on a desktop without a program for the file's type.
    void failFiles() { m_filesOpen = false; }

private:
    std::vector<GbkString> m_opened;
    std::vector<GbkString> m_openedFiles;
    bool m_filesOpen = true;
};

} // namespace regdesk::test
