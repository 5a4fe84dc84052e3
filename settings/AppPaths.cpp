#include "settings/AppPaths.h"

#include "platform/FileSystem.h"

namespace regdesk {
namespace {

StartupPaths& storage()
{
    static StartupPaths paths;
    return paths;
}

} // namespace

void AppPaths::set(StartupPaths paths)
{
    storage() = std::move(paths);
}

const StartupPaths& AppPaths::get()
{
    return storage();
}

GbkString AppPaths::besideProgram(const GbkString& fileName)
{
    return joinPath(programDirectory(), fileName);
}

} // namespace regdesk
