#include "platform/ProcessList.h"

#include "platform/PosixHandles.h"

#include <cctype>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <unistd.h>

namespace regdesk {
namespace {

// The state letter of /proc/<pid>/stat: after the ")" that closes the name,
// which may itself hold blanks and brackets.
char processState(const std::string& statText)
{
    const std::size_t close = statText.rfind(')');
    if (close == std::string::npos || close + 2 >= statText.size())
        return '?';
    return statText[close + 2];
}

std::string readFirstLine(const std::string& path)
{
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

// The file name of the running executable; the kernel's short name when the
// link cannot be read (kernel threads, other users' processes).
std::string executableName(const std::string& processDir)
{
    char target[4096];
    const ssize_t length = ::readlink((processDir + "/exe").c_str(), target, sizeof target - 1);
    if (length > 0) {
        std::string path(target, static_cast<std::size_t>(length));
        const std::string deleted = " (deleted)";
        if (path.size() > deleted.size() && path.ends_with(deleted))
            path.resize(path.size() - deleted.size());
        return path.substr(path.rfind('/') + 1);
    }
    return readFirstLine(processDir + "/comm");
}

} // namespace

std::optional<std::vector<std::string>> ProcProcessList::executableNames() const
{
    const DirPtr dir(::opendir(m_procRoot.c_str()));
    if (!dir)
        return std::nullopt;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (!isDecimalName(entry->d_name))
            continue;
        const std::string processDir = m_procRoot + "/" + entry->d_name;
        const std::string stat = readFirstLine(processDir + "/stat");
        if (stat.empty())
            continue; // gone while we looked
        const char state = processState(stat);
        if (state == 'Z' || state == 'X')
            continue;
        names.push_back(executableName(processDir));
    }
    return names;
}

std::optional<std::string> processIdentity(long pid, const std::string& procRoot)
{
    const std::string stat = readFirstLine(procRoot + "/" + std::to_string(pid) + "/stat");
    const char state = processState(stat);
    if (stat.empty() || state == 'Z' || state == 'X' || state == '?')
        return std::nullopt;
    // The start time is field 22; the fields after the name start with the state (field 3).
    std::size_t at = stat.rfind(')') + 2;
    for (int field = 3; field < 22 && at != std::string::npos; ++field) {
        at = stat.find(' ', at);
        if (at != std::string::npos)
            ++at;
    }
    if (at == std::string::npos)
        return std::nullopt;
    return std::to_string(pid) + ":" + stat.substr(at, stat.find(' ', at) - at);
}

} // namespace regdesk
