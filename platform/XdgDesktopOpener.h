#pragma once

#include "platform/ChildReaper.h"
#include "platform/DesktopOpener.h"

#include <chrono>
#include <string>

namespace regdesk {

// Through xdg-open, the desktop's own opener. xdg-open says whether the
// desktop found a program for the path by its exit status, usually at once;
// when it is still running after a moment, it has become or is waiting for
// that program, and it is left to run on its own (reaped in the background).
class XdgDesktopOpener final : public DesktopOpener
{
public:
    static constexpr std::chrono::milliseconds kVerdictWait{3000};

    // `program` and `verdictWait` stand in for xdg-open and its wait (tests).
    explicit XdgDesktopOpener(std::string program = "xdg-open", std::chrono::milliseconds verdictWait = kVerdictWait);

    bool openFolder(const GbkString& path) override;
    bool openFile(const GbkString& path) override;

private:
    bool open(const GbkString& path);

    std::string m_program;
    std::chrono::milliseconds m_verdictWait;
    ChildReaper m_reaper;
};

} // namespace regdesk
