#include "platform/FileHolders.h"

#include "platform/PosixHandles.h"

#include <cctype>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace regdesk {
namespace {

bool holds(const std::string& processDir, const struct stat& file)
{
    const std::string fdDir = processDir + "/fd";
    const DirPtr descriptors(::opendir(fdDir.c_str()));
    if (!descriptors)
        return false;
    while (const dirent* entry = ::readdir(descriptors.get())) {
        if (!isDecimalName(entry->d_name))
            continue;
        struct stat target
        {
        };
        // stat() follows the descriptor's link to whatever it has open.
        if (::stat((fdDir + "/" + entry->d_name).c_str(), &target) == 0 && target.st_dev == file.st_dev &&
            target.st_ino == file.st_ino)
            return true;
    }
    return false;
}

} // namespace

std::vector<pid_t> processesHoldingFile(const std::string& nativePath, const std::string& procRoot)
{
    std::vector<pid_t> holders;
    struct stat file
    {
    };
    if (::stat(nativePath.c_str(), &file) != 0)
        return holders;
    const DirPtr processes(::opendir(procRoot.c_str()));
    if (!processes)
        return holders;
    while (const dirent* entry = ::readdir(processes.get())) {
        if (isDecimalName(entry->d_name) && holds(procRoot + "/" + entry->d_name, file))
            holders.push_back(static_cast<pid_t>(std::stol(entry->d_name)));
    }
    return holders;
}

} // namespace regdesk
