// Regdesk: the registration desk. Start-up fixes the program directory, the
// document path and the settings path, then runs exactly one form modally;
// the program ends when that form closes.
#include "RegdeskVersion.h"
#include "desk/DeskControllers.h"
#include "desk/DeskRun.h"
#include "platform/Clock.h"
#include "platform/DeskLook.h"
#include "platform/FileSystem.h"
#include "platform/MemoryReuse.h"
#include "platform/ProcessLauncher.h"
#include "platform/ProcessList.h"
#include "platform/ProgramLocation.h"
#include "platform/QtPrompter.h"
#include "platform/XdgDesktopOpener.h"
#include "printing/ExcelService.h"
#include "settings/AppPaths.h"
#include "settings/DeskFolder.h"

#include <QApplication>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <unistd.h>

namespace {

bool hasDisplay()
{
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return true;
    }
    return false;
}

constexpr const char* kHelp = "Usage: regdesk [DOCUMENT]\n"
                              "Regdesk, the registration desk: registers outgoing documents (发文登记) in one form,\n"
                              "numbers them and encodes each into a PDF417 barcode; incoming documents (收文登记)\n"
                              "are registered by scanning their barcode.\n\n"
                              "A DOCUMENT (.doc, .docx or .wps) starts the form in add-in mode for that document.\n"
                              "The desk keeps its files (document.ini, data.db, the exchange files of the encoder)\n"
                              "in its desk folder: the folder REGDESK_FOLDER names, else the program's own folder.\n"
                              "Installed from the package, the regdesk command prepares ~/.local/share/regdesk\n"
                              "(or the folder named in /etc/regdesk/regdesk.conf) on the first start.\n\n"
                              "Options:\n"
                              "  --help     show this help and exit\n"
                              "  --version  show the version and exit\n\n"
                              "What went wrong (failed barcode hand-offs, database errors, conversions that timed\n"
                              "out) is written to regdesk.log in the desk folder, or to the journal under systemd.\n";

} // namespace

int main(int argc, char* argv[])
{
    using namespace regdesk;
    keepFreedMemoryForReuse();
    // Past a file-size limit a write then fails with EFBIG and is reported
    // like a full disk, instead of the signal ending the desk without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs("regdesk " REGDESK_VERSION "\n", stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (!hasDisplay()) {
        std::fputs("regdesk: no display to show the registration desk on (DISPLAY is not set).\n"
                   "Run it under a virtual display, for example:\n"
                   "    xvfb-run -a -s '-screen 0 1366x768x24' ./regdesk\n",
                   stderr);
        return 1;
    }

    // The command line and the executable's path, as GBK texts.
    std::vector<GbkString> arguments;
    for (int i = 0; i < argc; ++i)
        arguments.push_back(fromNativePath(argv[i]));
    StartupPaths paths = resolvePosixStartup(arguments, fromNativePath(runningExecutablePath()));
    std::error_code error;
    const std::string current = std::filesystem::current_path(error).string();
    if (const std::optional<std::string> folder = namedDeskFolder(std::getenv(kDeskFolderVariable), current)) {
        // An installed desk works in the desk folder: the printed list and its template are looked up there.
        if (::chdir(folder->c_str()) != 0) {
            std::fprintf(stderr, "regdesk: cannot enter the desk folder %s: %s\n", folder->c_str(),
                         std::strerror(errno));
            return 1;
        }
        paths = inDeskFolder(std::move(paths), fromNativePath(*folder));
    }
    AppPaths::set(paths);
    // The serial port and the word-processor add-ins need no registration here.

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Regdesk"));
    const DeskLook look;

    QtPrompter prompter;
    PosixProcessLauncher launcher;
    ProcProcessList processes;
    SteadyClock clock;
    XdgDesktopOpener opener;
    ExcelService excel;
    return runDesk(prompter, {launcher, processes, clock, opener, excel});
}
