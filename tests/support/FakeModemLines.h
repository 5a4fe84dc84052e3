#pragma once

#include "scanner/ModemLines.h"

namespace regdesk::test {

// DSR as the test says: held, dropped, or "the driver cannot tell" (nullopt).
class FakeModemLines final : public ModemLines
{
public:
    void setDataSetReady(std::optional<bool> state) { m_state = state; }
    std::optional<bool> dataSetReady(int) override
    {
        ++m_reads;
        return m_state;
    }
    int reads() const { return m_reads; }

private:
    std::optional<bool> m_state = true;
    int m_reads = 0;
};

} // namespace regdesk::test
