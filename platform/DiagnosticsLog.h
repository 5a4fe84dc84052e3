#pragma once

#include "platform/Gbk.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace regdesk {

// Priorities as syslog numbers them, which is what the journal reads from a
// "<N>" line prefix on a service's standard error.
enum class LogPriority
{
    Error = 3,
    Warning = 4,
    Notice = 5,
};

// What went wrong, for whoever looks after a desk: failed encoder hand-offs,
// database errors, conversions that timed out, with the reasons. Run by
// systemd (JOURNAL_STREAM or INVOCATION_ID set), each entry is one line on
// standard error with its priority prefix; otherwise it is appended to
// regdesk.log in the desk folder, rotated at kRotateAtBytes into regdesk.log.1
// to .3. Entries name no person: callers pass reasons and at most a 发文号.
class DiagnosticsLog
{
public:
    static constexpr std::uintmax_t kRotateAtBytes = 1024 * 1024;
    static constexpr int kKeptOldFiles = 3;
    static constexpr std::size_t kMaxEntryBytes = 2048;
    static constexpr const char* kFileName = "regdesk.log";

    // To the journal when this process was started by systemd, else to the file in `deskFolder`.
    static DiagnosticsLog forDesk(const GbkString& deskFolder, const char* program);
    static bool startedBySystemd();

    // An explicit sink: `journal` null writes to the file in `deskFolder`.
    DiagnosticsLog(GbkString deskFolder, std::string program, std::FILE* journal);

    bool toJournal() const { return m_journal != nullptr; }

    // One entry (UTF-8). Line breaks and control characters become blanks,
    // and an entry is cut at kMaxEntryBytes, so that one entry is one line.
    // A log that cannot be written is given up silently: it must never stop the desk.
    void write(LogPriority priority, const std::string& text) const;

private:
    void appendToFile(const std::string& line) const;

    GbkString m_deskFolder;
    std::string m_program;
    std::FILE* m_journal;
};

} // namespace regdesk
