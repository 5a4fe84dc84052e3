#include "posix/SerialPort.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace lattix {
namespace {

constexpr int kReadTimeoutMs = 200;

struct BaudRate
{
    int rate;
    speed_t code;
};

constexpr std::array kBaudRates = {
    BaudRate{50, B50},           BaudRate{75, B75},           BaudRate{110, B110},         BaudRate{134, B134},
    BaudRate{150, B150},         BaudRate{200, B200},         BaudRate{300, B300},         BaudRate{600, B600},
    BaudRate{1200, B1200},       BaudRate{1800, B1800},       BaudRate{2400, B2400},       BaudRate{4800, B4800},
    BaudRate{9600, B9600},       BaudRate{19200, B19200},     BaudRate{38400, B38400},     BaudRate{57600, B57600},
    BaudRate{115200, B115200},   BaudRate{230400, B230400},   BaudRate{460800, B460800},   BaudRate{500000, B500000},
    BaudRate{576000, B576000},   BaudRate{921600, B921600},   BaudRate{1000000, B1000000}, BaudRate{1152000, B1152000},
    BaudRate{1500000, B1500000}, BaudRate{2000000, B2000000},
};

std::optional<speed_t> speedCode(int baudrate)
{
    for (const BaudRate& entry : kBaudRates) {
        if (entry.rate == baudrate)
            return entry.code;
    }
    return std::nullopt;
}

bool isComName(const std::string& name, int& number)
{
    if (name.size() < 4 || name.size() > 7)
        return false;
    for (int i = 0; i < 3; ++i) {
        if ((name[static_cast<std::size_t>(i)] | 0x20) != "com"[i])
            return false;
    }
    int value = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return false;
        value = value * 10 + (name[i] - '0');
    }
    number = value;
    return value >= 1;
}

// Raw 8N1 at the given rate; VMIN 0 / VTIME 2 make a bare read give up after 200 ms as well.
bool configure(int fd, int baudrate)
{
    const std::optional<speed_t> speed = speedCode(baudrate);
    termios settings{};
    if (!speed || tcgetattr(fd, &settings) != 0)
        return false;
    cfmakeraw(&settings);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 2;
    if (cfsetispeed(&settings, *speed) != 0 || cfsetospeed(&settings, *speed) != 0)
        return false;
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

} // namespace

std::string SerialPort::devicePath(const std::string& portName)
{
    int number = 0;
    if (isComName(portName, number))
        return "/dev/ttyS" + std::to_string(number - 1);
    return portName;
}

std::optional<SerialPort> SerialPort::open(const std::string& portName, int baudrate)
{
    const std::string path = devicePath(portName);
    // O_NONBLOCK only for the open itself, so that a line without carrier cannot hold it up.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    SerialPort port(fd, eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (port.m_wakeFd < 0)
        return std::nullopt;
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 || !isatty(fd) || !configure(fd, baudrate))
        return std::nullopt;
    // A COM port is opened without sharing; exclusive mode is the nearest a tty offers.
    ioctl(fd, TIOCEXCL);
    return port;
}

SerialPort::SerialPort(SerialPort&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_wakeFd(std::exchange(other.m_wakeFd, -1))
{}

SerialPort& SerialPort::operator=(SerialPort&& other) noexcept
{
    if (this != &other) {
        SerialPort old(std::move(*this));
        m_fd = std::exchange(other.m_fd, -1);
        m_wakeFd = std::exchange(other.m_wakeFd, -1);
    }
    return *this;
}

SerialPort::~SerialPort()
{
    for (int fd : {m_fd, m_wakeFd}) {
        if (fd >= 0)
            ::close(fd);
    }
}

SerialPort::ReadResult SerialPort::read(std::span<std::uint8_t> into) const
{
    // poll first: after a hang-up a bare read returns 0 at once, which would look like an endless run of
    // time-outs and spin.
    std::array<pollfd, 2> waiting = {pollfd{m_fd, POLLIN, 0}, pollfd{m_wakeFd, POLLIN, 0}};
    const int ready = ::poll(waiting.data(), waiting.size(), kReadTimeoutMs);
    if (ready == 0 || (ready < 0 && errno == EINTR) || waiting[1].revents != 0)
        return {ReadStatus::Timeout, 0};
    if (ready < 0 || (waiting[0].revents & POLLNVAL) != 0)
        return {ReadStatus::Failed, 0};
    const ssize_t got = ::read(m_fd, into.data(), into.size());
    if (got > 0)
        return {ReadStatus::Data, static_cast<std::size_t>(got)};
    if (got < 0 && errno != EINTR && errno != EAGAIN)
        return {ReadStatus::Failed, 0};
    if ((waiting[0].revents & (POLLHUP | POLLERR)) != 0)
        return {ReadStatus::Failed, 0};
    return {ReadStatus::Timeout, 0};
}

void SerialPort::purge() const
{
    tcflush(m_fd, TCIOFLUSH);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(m_wakeFd, &one, sizeof one);
}

} // namespace lattix
