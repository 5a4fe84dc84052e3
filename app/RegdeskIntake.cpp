// regdesk-intake FILE...: hands PDF and picture files of incoming documents to
// the desk, which reads each file's barcode and lists its row as a scan would.
// A desk running in the desk folder takes them through its local socket; when
// none runs, a desk is started (it opens in 收文登记) and given them.
//
// Exit status: 0 the desk took the files; 64 wrong usage; 66 none of the
// files exists; 69 no desk could be started or reached.
#include "RegdeskVersion.h"
#include "platform/FileSystem.h"
#include "platform/ProgramLocation.h"
#include "platform/UniqueFd.h"
#include "settings/DeskFolder.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace regdesk;
using namespace std::chrono_literals;

constexpr const char* kSocketName = "regdesk-intake.socket"; // as the desk's IntakeServer names it
constexpr const char* kDeskProgram = "regdesk";
// A desk just started opens its register before it listens.
constexpr auto kStartWait = 30s;
constexpr auto kRetryEvery = 200ms;
constexpr int kAnswerTimeoutMs = 10000;

void warn(const std::string& text)
{
    std::fprintf(stderr, "regdesk-intake: %s\n", text.c_str());
}

// A connection to the desk's socket, made only when the desk runs as this user.
UniqueFd connectToDesk(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return UniqueFd();
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd || ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return UniqueFd();
    ucred peer{};
    socklen_t length = sizeof peer;
    if (::getsockopt(fd.get(), SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != ::geteuid()) {
        warn("the socket " + path + " belongs to another user; the files are not handed to it");
        return UniqueFd();
    }
    return fd;
}

// Sends the paths and waits for the desk's "ok".
bool handOver(const UniqueFd& fd, const std::vector<std::string>& files)
{
    std::string request;
    for (const std::string& file : files)
        request += file + "\n";
    request += "\n";
    for (std::size_t sent = 0; sent < request.size();) {
        const ssize_t count = ::send(fd.get(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        sent += static_cast<std::size_t>(count);
    }
    std::string answer;
    while (answer.find('\n') == std::string::npos) {
        pollfd wait{fd.get(), POLLIN, 0};
        if (::poll(&wait, 1, kAnswerTimeoutMs) <= 0)
            return false;
        char buffer[64];
        const ssize_t count = ::recv(fd.get(), buffer, sizeof buffer, 0);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        answer.append(buffer, static_cast<std::size_t>(count));
    }
    return answer.starts_with("ok\n");
}

// Starts the desk in its own session (it outlives this program); its pid, or nullopt.
std::optional<pid_t> startDesk(const std::string& desk)
{
    std::string program = desk;
    char* argv[] = {program.data(), nullptr};
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int failure = ::posix_spawn(&pid, program.c_str(), nullptr, &attributes, argv, environ);
    ::posix_spawnattr_destroy(&attributes);
    if (failure != 0) {
        warn("cannot start " + desk + ": " + std::strerror(failure));
        return std::nullopt;
    }
    return pid;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("regdesk-intake " REGDESK_VERSION);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::puts("Usage: regdesk-intake FILE...\n"
                  "Hands PDF and picture files (PNG, JPEG, TIFF, BMP) of incoming documents to the desk,\n"
                  "which reads each file's barcode and lists its row in 收文登记 as a scan would; the\n"
                  "clerk then saves the rows. A desk running in the desk folder takes the files; when\n"
                  "none runs, one is started. The desk folder is the one REGDESK_FOLDER names, else\n"
                  "this program's folder.\n\n"
                  "Exit status: 0 the desk took the files; 64 wrong usage; 66 none of the files\n"
                  "exists; 69 no desk could be started or reached.");
        return 0;
    }
    if (argc < 2) {
        std::fputs("usage: regdesk-intake FILE...\n", stderr);
        return 64;
    }
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        const std::string file = std::filesystem::absolute(argv[i], error).lexically_normal().string();
        struct stat info
        {
        };
        // The desk judges what the file is; here only what is not there at all stays behind.
        if (error || ::lstat(file.c_str(), &info) != 0 || file.find('\n') != std::string::npos) {
            warn(std::string("no such file: ") + argv[i]);
            continue;
        }
        files.push_back(file);
    }
    if (files.empty())
        return 66;

    std::error_code error;
    const std::string programsFolder = std::filesystem::path(runningExecutablePath()).parent_path().string();
    const std::string deskFolder =
        namedDeskFolder(std::getenv(kDeskFolderVariable), std::filesystem::current_path(error).string())
            .value_or(programsFolder);
    const std::string socket = deskFolder + "/" + kSocketName;

    UniqueFd connection = connectToDesk(socket);
    if (!connection) {
        const std::optional<pid_t> desk = startDesk(programsFolder + "/" + kDeskProgram);
        if (!desk)
            return 69;
        const auto until = std::chrono::steady_clock::now() + kStartWait;
        while (!connection && std::chrono::steady_clock::now() < until) {
            int status = 0;
            if (::waitpid(*desk, &status, WNOHANG) == *desk) {
                warn("the desk ended before it took the files");
                return 69;
            }
            std::this_thread::sleep_for(kRetryEvery);
            connection = connectToDesk(socket);
        }
    }
    if (!connection || !handOver(connection, files)) {
        warn("the desk at " + deskFolder + " did not take the files");
        return 69;
    }
    return 0;
}
