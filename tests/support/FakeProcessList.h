#pragma once

#include "platform/ProcessList.h"

namespace regdesk::test {

// A scripted process list.
class FakeProcessList final : public ProcessList
{
public:
    std::optional<std::vector<std::string>> executableNames() const override
    {
        ++m_reads;
        return m_names;
    }
    void setRunning(std::vector<std::string> names) { m_names = std::move(names); }
    void setUnreadable() { m_names.reset(); }
    int reads() const { return m_reads; }

private:
    std::optional<std::vector<std::string>> m_names = std::vector<std::string>{};
    mutable int m_reads = 0;
};

} // namespace regdesk::test
