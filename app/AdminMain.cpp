// regdesk-admin: prepares a desk folder's database and explains its settings.
#include "app/AdminCommands.h"
#include "platform/MemoryReuse.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>

int main(int argc, char* argv[])
{
    regdesk::keepFreedMemoryForReuse();
    // Past a file-size limit a write then fails with EFBIG and is reported
    // like a full disk, instead of the signal ending the command without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication application(argc, argv);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const regdesk::AdminResult result = regdesk::runAdminCommand(arguments);
    std::fputs(result.output.c_str(), stdout);
    if (!regdesk::logAdminFailure(arguments, result))
        std::fputs(result.errors.c_str(), stderr);
    return result.exitCode;
}
