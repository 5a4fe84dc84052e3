#include "platform/XdgDesktopOpener.h"

#include "platform/FileSystem.h"
#include "platform/PosixHandles.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace regdesk {

XdgDesktopOpener::XdgDesktopOpener(std::string program, std::chrono::milliseconds verdictWait)
    : m_program(std::move(program)), m_verdictWait(verdictWait)
{}

bool XdgDesktopOpener::openFolder(const GbkString& path)
{
    return open(path);
}

bool XdgDesktopOpener::openFile(const GbkString& path)
{
    return open(path);
}

bool XdgDesktopOpener::open(const GbkString& path)
{
    // Absolute: xdg-open reads a name starting with "-" as an option.
    std::string native = absoluteNativePath(toNativePath(path));
    std::vector<char*> argv{m_program.data(), native.data(), nullptr};
    SpawnFileActions files;
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
        posix_spawn_file_actions_addopen(&files.actions, fd, "/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY, 0);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, m_program.c_str(), &files.actions, nullptr, argv.data(), environ) != 0)
        return false;

    const auto deadline = std::chrono::steady_clock::now() + m_verdictWait;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        const pid_t ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == pid)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (ended < 0)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    m_reaper.adopt(pid);
    return true;
}

} // namespace regdesk
