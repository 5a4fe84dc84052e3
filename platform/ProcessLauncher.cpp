#include "platform/ProcessLauncher.h"

#include "platform/ChildReaper.h"
#include "platform/FileSystem.h"
#include "platform/PosixHandles.h"
#include "platform/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace regdesk {
namespace {

class EndedProcess final : public LaunchedProcess
{
public:
    explicit EndedProcess(std::string reason) : m_reason(std::move(reason)) {}
    bool hasEnded() override { return true; }
    std::string errorOutput() override { return m_reason; }

private:
    std::string m_reason;
};

class SpawnedProcess final : public LaunchedProcess
{
public:
    SpawnedProcess(pid_t pid, int errorPipe, std::shared_ptr<ChildReaper> reaper)
        : m_pid(pid), m_errorPipe(errorPipe), m_reaper(std::move(reaper))
    {}

    ~SpawnedProcess() override
    {
        // The desk never stops the program; a program still running is
        // waited for in the background, so that it leaves no zombie.
        if (!hasEnded())
            m_reaper->adopt(m_pid);
    }

    bool hasEnded() override
    {
        drainErrorOutput();
        if (!m_ended) {
            int status = 0;
            const pid_t result = ::waitpid(m_pid, &status, WNOHANG);
            m_ended = result == m_pid || (result < 0 && errno == ECHILD);
            if (m_ended)
                drainErrorOutput();
        }
        return m_ended;
    }

    std::string errorOutput() override
    {
        drainErrorOutput();
        return m_errorText;
    }

private:
    void drainErrorOutput()
    {
        if (m_errorPipe.get() < 0)
            return;
        char buffer[4096];
        for (;;) {
            const ssize_t count = ::read(m_errorPipe.get(), buffer, sizeof buffer);
            if (count > 0) {
                m_errorText.append(buffer, static_cast<std::size_t>(count));
                continue;
            }
            if (count == 0)
                m_errorPipe.reset(); // the writing end is closed: the program is gone
            else if (errno == EINTR)
                continue;
            return; // EAGAIN: nothing more for now
        }
    }

    pid_t m_pid;
    UniqueFd m_errorPipe;
    std::shared_ptr<ChildReaper> m_reaper;
    std::string m_errorText;
    bool m_ended = false;
};

} // namespace

PosixProcessLauncher::PosixProcessLauncher() : m_reaper(std::make_shared<ChildReaper>()) {}

PosixProcessLauncher::~PosixProcessLauncher() = default;

std::unique_ptr<LaunchedProcess> PosixProcessLauncher::start(const GbkString& program,
                                                             const std::vector<GbkString>& arguments,
                                                             const GbkString& workingDirectory)
{
    int pipeEnds[2] = {-1, -1};
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
        return std::make_unique<EndedProcess>(std::strerror(errno));
    UniqueFd readEnd(pipeEnds[0]);
    UniqueFd writeEnd(pipeEnds[1]);
    ::fcntl(readEnd.get(), F_SETFL, O_NONBLOCK);

    const std::string nativeProgram = toNativePath(program);
    const std::string nativeDirectory = toNativePath(workingDirectory);
    std::vector<std::string> nativeArguments{nativeProgram};
    for (const GbkString& argument : arguments)
        nativeArguments.push_back(toNativePath(argument));
    std::vector<char*> argv;
    for (std::string& argument : nativeArguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    SpawnFileActions spawn;
    posix_spawn_file_actions_adddup2(&spawn.actions, writeEnd.get(), STDERR_FILENO);
    posix_spawn_file_actions_addopen(&spawn.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (!nativeDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&spawn.actions, nativeDirectory.c_str());

    pid_t pid = 0;
    const int failure = ::posix_spawn(&pid, nativeProgram.c_str(), &spawn.actions, nullptr, argv.data(), environ);
    if (failure != 0)
        return std::make_unique<EndedProcess>(nativeProgram + ": " + std::strerror(failure));
    writeEnd.reset(); // only the child writes now, so the pipe ends with it
    return std::make_unique<SpawnedProcess>(pid, readEnd.release(), m_reaper);
}

} // namespace regdesk
