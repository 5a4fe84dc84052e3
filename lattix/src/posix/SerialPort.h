#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace lattix {

// The scanner's serial line on POSIX: raw 8N1 at a chosen rate, reads that give up after 200 ms.
class SerialPort
{
public:
    enum class ReadStatus
    {
        Data,    // at least one byte arrived
        Timeout, // 200 ms passed without a byte
        Failed,  // the line is gone (hang-up, I/O error); reading again fails at once
    };
    struct ReadResult
    {
        ReadStatus status;
        std::size_t count;
    };

    // "COMn" (any case, n >= 1) names /dev/ttyS(n-1); a name starting with "/" is a device path as it is;
    // anything else is passed on unchanged and normally fails to open.
    static std::string devicePath(const std::string& portName);

    // Opens an existing device for reading and writing and sets it up; nullopt when either step fails.
    static std::optional<SerialPort> open(const std::string& portName, int baudrate);

    SerialPort(SerialPort&& other) noexcept;
    SerialPort& operator=(SerialPort&& other) noexcept;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;
    ~SerialPort();

    // Waits at most 200 ms for bytes and reads as many as are there, up to into.size().
    ReadResult read(std::span<std::uint8_t> into) const;

    // Drops whatever is queued in both directions and, like an aborting purge of a COM port, makes a
    // pending read and every later one return at once. Safe to call while another thread reads.
    void purge() const;

private:
    SerialPort(int fd, int wakeFd) : m_fd(fd), m_wakeFd(wakeFd) {}

    int m_fd = -1;
    int m_wakeFd = -1; // eventfd that purge() raises to end a read early
};

} // namespace lattix
