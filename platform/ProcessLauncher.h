#pragma once

#include "platform/Gbk.h"

#include <memory>
#include <string>
#include <vector>

namespace regdesk {

// A program started by the desk. The desk never stops it; it only asks whether
// it has ended and what it said on its error output.
class LaunchedProcess
{
public:
    virtual ~LaunchedProcess() = default;

    // True once the program has ended (or could not be started at all).
    virtual bool hasEnded() = 0;
    // Everything the program has written to its error output so far; for a
    // program that could not be started, the reason it could not.
    virtual std::string errorOutput() = 0;
};

// Starts outside programs (the barcode encoder).
class ProcessLauncher
{
public:
    virtual ~ProcessLauncher() = default;

    // Never null: a program that cannot be started gives a process that has
    // already ended, with the reason as its error output.
    virtual std::unique_ptr<LaunchedProcess> start(const GbkString& program, const std::vector<GbkString>& arguments,
                                                   const GbkString& workingDirectory) = 0;
};

class ChildReaper;

// The real launcher: posix_spawn with the error output on a pipe. A process
// let go of while it still runs is reaped in the background.
class PosixProcessLauncher final : public ProcessLauncher
{
public:
    PosixProcessLauncher();
    ~PosixProcessLauncher() override;
    PosixProcessLauncher(const PosixProcessLauncher&) = delete;
    PosixProcessLauncher& operator=(const PosixProcessLauncher&) = delete;

    std::unique_ptr<LaunchedProcess> start(const GbkString& program, const std::vector<GbkString>& arguments,
                                           const GbkString& workingDirectory) override;

private:
    // Shared with the processes it started, which may outlive the launcher.
    std::shared_ptr<ChildReaper> m_reaper;
};

} // namespace regdesk
