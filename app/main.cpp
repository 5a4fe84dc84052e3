// Regdesk: the registration desk. Start-up fixes the program directory, the
// document path and the settings path, then runs exactly one form modally;
// the program ends when that form closes.
#include "app/AppPaths.h"
#include "db/AdoDatabase.h"
#include "desk/OutgoingRegistration.h"
#include "desk/RegistrationDialog.h"
#include "platform/DeskFonts.h"
#include "platform/FileSystem.h"
#include "platform/ProgramLocation.h"
#include "platform/QtPrompter.h"
#include "query/QueryWindow.h"
#include "scanner/IncomingScanner.h"

#include <QApplication>
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
    // Windows registers MSCOMM32.OCX and the two word-processor add-ins here;
    // on this platform the serial port and add-ins need no registration.

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Regdesk"));
    installDeskFonts();

    QtPrompter prompter;
    AdoDatabase database(prompter);
    if (paths.isAddinStart())
        std::fputs("regdesk: the compact add-in form is not part of this build; showing the full form.\n", stderr);
    RegistrationDialog form(database, prompter);
    DesktopSeams seams;
    OutgoingRegistration outgoing(form, seams.launcher, seams.processes, seams.clock, seams.opener);
    // Made after the form and gone before it: it drives the form's scanner port hooks and timers.
    IncomingScanner scanner(form, prompter);
    QObject::connect(&form, &RegistrationDialog::queryRequested, &form, [&] {
        runQueryWindow({AdoDatabase::activeConnection(), AppPaths::settingsPath(), prompter, seams.opener});
    });
    form.exec();
    return 0;
}
