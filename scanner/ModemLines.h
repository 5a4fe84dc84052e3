#pragma once

#include <optional>

namespace regdesk {

// Where the serial port learns the state of the scanner's DSR line. Tests put
// a double here, since pseudo-terminals have no modem lines.
class ModemLines
{
public:
    virtual ~ModemLines() = default;

    // DSR of the open terminal `descriptor`; nullopt when the driver cannot
    // tell (pseudo-terminals, some USB adapters).
    virtual std::optional<bool> dataSetReady(int descriptor) = 0;
};

// The terminal driver's own view of the lines (TIOCMGET).
class TerminalModemLines final : public ModemLines
{
public:
    std::optional<bool> dataSetReady(int descriptor) override;
};

} // namespace regdesk
