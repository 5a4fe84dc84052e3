#pragma once

#include "platform/UniqueFd.h"

#include <QString>
#include <string_view>
#include <termios.h>

namespace regdesk::test {

// A pseudo-terminal pair standing in for a serial scanner: the desk opens the
// device side by its path, the test writes scans into the controller side.
class PseudoTerminal
{
public:
    PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool isOpen() const { return m_controller.isValid(); }
    // The device path (/dev/pts/N).
    QString devicePath() const { return m_devicePath; }

    // Writes all bytes; false when the controller side is closed or fails.
    bool write(std::string_view bytes);
    // The line settings of the device side, as the desk left them.
    termios deviceAttributes() const;
    // Unplugs the scanner: the device side then fails on reading.
    void close();

private:
    UniqueFd m_controller;
    UniqueFd m_device;
    QString m_devicePath;
};

} // namespace regdesk::test
