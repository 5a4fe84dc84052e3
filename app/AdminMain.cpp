// regdesk-admin: prepares a desk folder's database and explains its settings.
#include "app/AdminCommands.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const regdesk::AdminResult result = regdesk::runAdminCommand(arguments);
    std::fputs(result.output.c_str(), stdout);
    std::fputs(result.errors.c_str(), stderr);
    return result.exitCode;
}
