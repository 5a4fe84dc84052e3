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
    if (::openpty(&m_controller, &m_device, name.data(), &raw, nullptr) != 0) {
        m_controller = -1;
        m_device = -1;
        return;
    }
    m_devicePath = QString::fromLocal8Bit(name.data());
}

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::write(std::string_view bytes)
{
    while (m_controller >= 0 && !bytes.empty()) {
        const ssize_t written = ::write(m_controller, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return m_controller >= 0;
}

termios PseudoTerminal::deviceAttributes() const
{
    termios attributes{};
    if (m_device >= 0)
        ::tcgetattr(m_device, &attributes);
    return attributes;
}

void PseudoTerminal::close()
{
    if (m_device >= 0)
        ::close(m_device);
    if (m_controller >= 0)
        ::close(m_controller);
    m_device = -1;
    m_controller = -1;
}

} // namespace regdesk::test
