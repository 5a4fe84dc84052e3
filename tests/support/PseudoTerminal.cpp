#include "PseudoTerminal.h"

#include <array>
#include <cerrno>
#include <pty.h>
#include <unistd.h>

namespace regdesk::test {

PseudoTerminal::PseudoTerminal()
{
    std::array<char, 128> name{};
    termios raw{};
    ::cfmakeraw(&raw);
    int controller = -1;
    int device = -1;
    if (::openpty(&controller, &device, name.data(), &raw, nullptr) != 0)
        return;
    m_controller.reset(controller);
    m_device.reset(device);
    m_devicePath = QString::fromLocal8Bit(name.data());
}

bool PseudoTerminal::write(std::string_view bytes)
{
    while (m_controller && !bytes.empty()) {
        const ssize_t written = ::write(m_controller.get(), bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return m_controller.isValid();
}

termios PseudoTerminal::deviceAttributes() const
{
    termios attributes{};
    if (m_device)
        ::tcgetattr(m_device.get(), &attributes);
    return attributes;
}

void PseudoTerminal::close()
{
    m_device.reset();
    m_controller.reset();
}

} // namespace regdesk::test
