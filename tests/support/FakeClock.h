#pragma once

#include "platform/Clock.h"

namespace regdesk::test {

// Time that moves only when the test says so.
class FakeClock final : public Clock
{
public:
    TimePoint now() const override { return m_now; }
    void advance(std::chrono::milliseconds step) { m_now += step; }

private:
    TimePoint m_now{std::chrono::hours(1)};
};

} // namespace regdesk::test
