#include "platform/DiagnosticsLog.h"

#include "platform/FileSystem.h"
#include "platform/UniqueFd.h"

#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace regdesk {
namespace {

const char* priorityName(LogPriority priority)
{
    switch (priority) {
    case LogPriority::Error:
        return "error";
    case LogPriority::Warning:
        return "warning";
    case LogPriority::Notice:
        return "notice";
    }
    return "notice";
}

std::string oneLine(const std::string& text)
{
    std::string line = text.substr(0, DiagnosticsLog::kMaxEntryBytes);
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    }
    // A cut inside a UTF-8 sequence leaves no broken character behind.
    while (!line.empty() && (static_cast<unsigned char>(line.back()) & 0xC0) == 0x80)
        line.pop_back();
    if (!line.empty() && static_cast<unsigned char>(line.back()) >= 0xC0)
        line.pop_back();
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

std::string timestamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

} // namespace

bool DiagnosticsLog::startedBySystemd()
{
    for (const char* variable : {"JOURNAL_STREAM", "INVOCATION_ID"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return true;
    }
    return false;
}

DiagnosticsLog DiagnosticsLog::forDesk(const GbkString& deskFolder, const char* program)
{
    return DiagnosticsLog(deskFolder, program, startedBySystemd() ? stderr : nullptr);
}

DiagnosticsLog::DiagnosticsLog(GbkString deskFolder, std::string program, std::FILE* journal)
    : m_deskFolder(std::move(deskFolder)), m_program(std::move(program)), m_journal(journal)
{}

void DiagnosticsLog::write(LogPriority priority, const std::string& text) const
{
    const std::string entry = oneLine(text);
    if (m_journal) {
        // The journal adds the time and the process itself.
        std::fprintf(m_journal, "<%d>%s\n", static_cast<int>(priority), entry.c_str());
        std::fflush(m_journal);
        return;
    }
    appendToFile(timestamp() + " " + m_program + "[" + std::to_string(::getpid()) + "] " + priorityName(priority) +
                 ": " + entry + "\n");
}

void DiagnosticsLog::appendToFile(const std::string& line) const
{
    const std::string path = toNativePath(joinPath(m_deskFolder, kFileName));
    struct stat info
    {
    };
    if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        static_cast<std::uintmax_t>(info.st_size) + line.size() > kRotateAtBytes) {
        // regdesk.log.2 -> .3, .1 -> .2, regdesk.log -> .1; the oldest is replaced.
        for (int i = kKeptOldFiles - 1; i >= 1; --i)
            ::rename((path + "." + std::to_string(i)).c_str(), (path + "." + std::to_string(i + 1)).c_str());
        ::rename(path.c_str(), (path + ".1").c_str());
    }
    // O_APPEND and one write per entry: desks sharing a folder never interleave inside a line.
    // O_NOFOLLOW: a link planted in a shared folder does not redirect the log.
    const UniqueFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (!fd)
        return;
    [[maybe_unused]] const ssize_t written = ::write(fd.get(), line.data(), line.size());
}

} // namespace regdesk
