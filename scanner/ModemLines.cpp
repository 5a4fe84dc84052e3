#include "scanner/ModemLines.h"

#include <sys/ioctl.h>

namespace regdesk {

std::optional<bool> TerminalModemLines::dataSetReady(int descriptor)
{
    int lines = 0;
    if (::ioctl(descriptor, TIOCMGET, &lines) != 0)
        return std::nullopt;
    return (lines & TIOCM_DSR) != 0;
}

} // namespace regdesk
