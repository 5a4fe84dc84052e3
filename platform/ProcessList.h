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

} // namespace regdesk
