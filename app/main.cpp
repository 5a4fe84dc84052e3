// Regdesk: the registration desk. Start-up fixes the program directory, the
// document path and the settings path, then runs exactly one form modally;
// the program ends when that form closes.
#include "desk/DeskControllers.h"
#include "desk/DeskRun.h"
#include "platform/Clock.h"
#include "platform/DeskLook.h"
#include "platform/FileSystem.h"
#include "platform/ProcessLauncher.h"
#include "platform/ProcessList.h"
#include "platform/ProgramLocation.h"
#include "platform/QtPrompter.h"
#include "platform/XdgDesktopOpener.h"
#include "printing/ExcelService.h"
#include "settings/AppPaths.h"

#include <QApplication>
#include <csignal>
#include <cstdio>
#include <cstdlib>

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

} // namespace

int main(int argc, char* argv[])
{
    using namespace regdesk;
    // Past a file-size limit a write then fails with EFBIG and is reported
    // like a full disk, instead of the signal ending the desk without a word.
    std::signal(SIGXFSZ, SIG_IGN);
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
    const StartupPaths paths = resolvePosixStartup(arguments, fromNativePath(runningExecutablePath()));
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
