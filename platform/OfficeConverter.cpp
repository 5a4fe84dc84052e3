#include "platform/OfficeConverter.h"

#include "platform/FileSystem.h"
#include "platform/PosixHandles.h"
#include "platform/UniqueFd.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace regdesk {
namespace {

using Clock = std::chrono::steady_clock;

std::string searchPath(const std::string& name)
{
    if (name.find('/') != std::string::npos)
        return ::access(name.c_str(), X_OK) == 0 ? name : std::string();
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon + 1);
        const std::string candidate = std::string(folder.empty() ? "." : folder) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

// Keeps the last line LibreOffice printed that says something (its "Error: ..." lines).
std::string lastMeaningfulLine(const std::string& output)
{
    std::string last;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        std::string line = output.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (!line.empty())
            last = line;
        start = end + 1;
    }
    return last;
}

// One run of LibreOffice in a process group of its own. Whatever happens, the
// group is killed and the child reaped before run() returns.
class GroupRun
{
public:
    struct Outcome
    {
        bool started = false;
        bool timedOut = false;
        int status = 0;
        std::string output;
        std::string startFailure;
    };

    static Outcome run(std::vector<std::string> argv, std::chrono::milliseconds timeout,
                       const std::function<void()>& whileWaiting)
    {
        Outcome outcome;
        int ends[2] = {-1, -1};
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            outcome.startFailure = std::strerror(errno);
            return outcome;
        }
        UniqueFd readEnd(ends[0]);
        UniqueFd writeEnd(ends[1]);

        std::vector<char*> args;
        for (std::string& argument : argv)
            args.push_back(argument.data());
        args.push_back(nullptr);

        SpawnFileActions files;
        posix_spawn_file_actions_addopen(&files.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&files.actions, writeEnd.get(), STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&files.actions, writeEnd.get(), STDERR_FILENO);
        SpawnAttributes attributes;
        posix_spawnattr_setflags(&attributes.attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes.attributes, 0); // a group of its own, led by the child

        pid_t pid = 0;
        const int failure = ::posix_spawn(&pid, args[0], &files.actions, &attributes.attributes, args.data(), environ);
        if (failure != 0) {
            outcome.startFailure = std::string(args[0]) + ": " + std::strerror(failure);
            return outcome;
        }
        outcome.started = true;
        writeEnd.reset();

        const Clock::time_point deadline = Clock::now() + timeout;
        bool ended = false;
        while (!ended) {
            pollfd readable{readEnd.get(), POLLIN, 0};
            if (readEnd.isValid() && ::poll(&readable, 1, 25) > 0) {
                char buffer[4096];
                const ssize_t count = ::read(readEnd.get(), buffer, sizeof buffer);
                if (count > 0 && outcome.output.size() < 65536)
                    outcome.output.append(buffer, static_cast<std::size_t>(count));
                else if (count == 0)
                    readEnd.reset(); // every writer is gone
            } else if (!readEnd.isValid()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(25));
            }
            // Seen ended but not reaped yet: the group id cannot be reused before the kill below.
            siginfo_t info{};
            ended =
                ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
            if (!ended && Clock::now() >= deadline) {
                outcome.timedOut = true;
                break;
            }
            if (!ended && whileWaiting)
                whileWaiting();
        }
        // Helpers LibreOffice started stay in the group: end them too, also on success.
        ::kill(-pid, SIGKILL);
        while (::waitpid(pid, &outcome.status, 0) < 0 && errno == EINTR) {
        }
        return outcome;
    }
};

} // namespace

OfficeConverter::OfficeConverter(std::string program) : m_program(std::move(program)) {}

OfficeConverter::~OfficeConverter()
{
    if (!m_profileDirectory.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_profileDirectory, ignored);
    }
}

std::string OfficeConverter::resolvedProgram() const
{
    return searchPath(m_program.empty() ? std::string("soffice") : m_program);
}

bool OfficeConverter::isAvailable() const
{
    return !resolvedProgram().empty();
}

bool OfficeConverter::ensureProfile(std::string& reason)
{
    if (!m_profileDirectory.empty())
        return true;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/regdesk-office-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        reason = "cannot create a LibreOffice profile folder: " + std::string(std::strerror(errno));
        return false;
    }
    m_profileDirectory = absoluteNativePath(pattern); // it becomes a file:// URL
    return true;
}

GbkString OfficeConverter::outputPathFor(const GbkString& input, const std::string& target,
                                         const GbkString& outputDirectory)
{
    const std::string extension = target.substr(0, target.find(':'));
    const std::filesystem::path native(toNativePath(input));
    return joinPath(outputDirectory, fromNativePath(native.stem().string() + "." + extension));
}

OfficeConverter::Result OfficeConverter::convert(const GbkString& input, const std::string& target,
                                                 const GbkString& outputDirectory, std::chrono::milliseconds timeout,
                                                 const std::function<void()>& whileWaiting)
{
    Result result;
    const std::string program = resolvedProgram();
    if (program.empty()) {
        result.reason = "LibreOffice (soffice) is not installed";
        return result;
    }
    if (!ensureProfile(result.reason))
        return result;

    const GbkString output = outputPathFor(input, target, outputDirectory);
    const std::string nativeOutput = toNativePath(output);
    if (::unlink(nativeOutput.c_str()) != 0 && errno != ENOENT) {
        result.reason = "cannot remove the old " + nativeOutput + ": " + std::strerror(errno);
        return result;
    }

    // Absolute paths: LibreOffice reads a name starting with "-" as an option.
    const GroupRun::Outcome run =
        GroupRun::run({program, "-env:UserInstallation=file://" + m_profileDirectory, "--headless", "--invisible",
                       "--nologo", "--norestore", "--nolockcheck", "--nodefault", "--convert-to", target, "--outdir",
                       absoluteNativePath(toNativePath(outputDirectory)), absoluteNativePath(toNativePath(input))},
                      timeout, whileWaiting);
    if (!run.started) {
        result.reason = run.startFailure;
        return result;
    }
    if (run.timedOut) {
        ::unlink(nativeOutput.c_str()); // possibly half written
        result.timedOut = true;
        result.reason = "LibreOffice did not finish within " +
                        std::to_string(std::chrono::duration_cast<std::chrono::seconds>(timeout).count()) +
                        " s and was stopped";
        return result;
    }
    struct stat written
    {
    };
    if (::lstat(nativeOutput.c_str(), &written) == 0 && S_ISREG(written.st_mode) && written.st_size > 0) {
        result.converted = true;
        result.outputPath = output;
        return result;
    }
    const std::string said = lastMeaningfulLine(run.output);
    result.reason = "LibreOffice could not convert " + toNativePath(input) + (said.empty() ? "" : ": " + said);
    return result;
}

} // namespace regdesk
