#pragma once

#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace regdesk {

// Waits for the children whose owners let go of them while they still ran
// (a second 生成条码 replaces a running encoder), so that none is left a
// zombie and the GUI thread never waits for one. Its thread runs while there
// are such children and ends with the reaper; children still running then
// are left to the system, which adopts them when the desk exits.
class ChildReaper
{
public:
    ChildReaper() = default;
    ~ChildReaper();
    ChildReaper(const ChildReaper&) = delete;
    ChildReaper& operator=(const ChildReaper&) = delete;

    // Takes over waiting for `pid`, a child of this process.
    void adopt(pid_t pid);

private:
    void run(const std::stop_token& stop);
    void reapEnded(); // with m_mutex held

    std::mutex m_mutex;
    std::condition_variable_any m_wake;
    std::vector<pid_t> m_children;
    std::jthread m_thread; // last: stopped and joined before the rest goes
};

} // namespace regdesk
