#include "platform/ChildReaper.h"

#include <cerrno>
#include <chrono>
#include <sys/wait.h>

namespace regdesk {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(100);

} // namespace

ChildReaper::~ChildReaper()
{
    if (m_thread.joinable()) {
        m_thread.request_stop();
        m_thread.join();
    }
    const std::lock_guard lock(m_mutex);
    reapEnded();
}

void ChildReaper::adopt(pid_t pid)
{
    const std::lock_guard lock(m_mutex);
    m_children.push_back(pid);
    if (!m_thread.joinable())
        m_thread = std::jthread([this](const std::stop_token& stop) { run(stop); });
    m_wake.notify_all();
}

void ChildReaper::reapEnded()
{
    std::erase_if(m_children, [](pid_t pid) {
        const pid_t result = ::waitpid(pid, nullptr, WNOHANG);
        // Reaped now, or no child of ours any more: either way done with it.
        return result == pid || (result < 0 && errno != EINTR);
    });
}

void ChildReaper::run(const std::stop_token& stop)
{
    std::unique_lock lock(m_mutex);
    while (!stop.stop_requested()) {
        reapEnded();
        if (m_children.empty())
            m_wake.wait(lock, stop, [this] { return !m_children.empty(); });
        else
            m_wake.wait_for(lock, stop, kPollInterval, [] { return false; });
    }
}

} // namespace regdesk
