#pragma once

#include <optional>
#include <string>
#include <vector>

namespace regdesk {

// The running processes of the machine, by executable file name.
class ProcessList
{
public:
    virtual ~ProcessList() = default;

    // File names (without folder) of the running programs; nullopt when the
    // list cannot be read.
    virtual std::optional<std::vector<std::string>> executableNames() const = 0;
};

// Reads /proc. Ended processes that nobody has reaped yet are not running.
class ProcProcessList final : public ProcessList
{
public:
    explicit ProcProcessList(std::string procRoot = "/proc") : m_procRoot(std::move(procRoot)) {}

    std::optional<std::vector<std::string>> executableNames() const override;

private:
    std::string m_procRoot;
};

// "<pid>:<start time>" of a running process, which names it for as long as
// it runs (a later process with the same id starts at another time); nullopt
// when it has ended (a zombie has ended too).
std::optional<std::string> processIdentity(long pid, const std::string& procRoot = "/proc");

} // namespace regdesk
