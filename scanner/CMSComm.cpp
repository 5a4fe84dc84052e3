#include "scanner/CMSComm.h"

#include "scanner/ModemLines.h"

#include <QSocketNotifier>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace regdesk {
namespace {

struct LineSettings
{
    speed_t speed = B9600;
    char parity = 'n';
    tcflag_t dataBits = CS8;
    bool twoStopBits = false;
};

std::optional<speed_t> speedOf(int baud)
{
    static constexpr std::array<std::pair<int, speed_t>, 13> kSpeeds = {{
        {110, B110},
        {300, B300},
        {600, B600},
        {1200, B1200},
        {2400, B2400},
        {4800, B4800},
        {9600, B9600},
        {19200, B19200},
        {38400, B38400},
        {57600, B57600},
        {115200, B115200},
        {230400, B230400},
        {460800, B460800},
    }};
    for (const auto& [value, speed] : kSpeeds) {
        if (value == baud)
            return speed;
    }
    return std::nullopt;
}

std::optional<LineSettings> parseSettings(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return std::nullopt;
    LineSettings settings;
    bool isNumber = false;
    const std::optional<speed_t> speed = speedOf(parts[0].trimmed().toInt(&isNumber));
    if (!isNumber || !speed)
        return std::nullopt;
    settings.speed = *speed;

    const QString parity = parts[1].trimmed().toLower();
    if (parity.size() != 1 || !QStringLiteral("neoms").contains(parity))
        return std::nullopt;
    settings.parity = parity[0].toLatin1();

    switch (parts[2].trimmed().toInt(&isNumber)) {
    case 5:
        settings.dataBits = CS5;
        break;
    case 6:
        settings.dataBits = CS6;
        break;
    case 7:
        settings.dataBits = CS7;
        break;
    case 8:
        settings.dataBits = CS8;
        break;
    default:
        return std::nullopt;
    }

    const QString stopBits = parts[3].trimmed();
    if (stopBits == QStringLiteral("2") || stopBits == QStringLiteral("1.5"))
        settings.twoStopBits = true; // termios knows no one and a half
    else if (stopBits != QStringLiteral("1"))
        return std::nullopt;
    return settings;
}

bool applySettings(int descriptor, const LineSettings& line)
{
    termios attributes{};
    if (::tcgetattr(descriptor, &attributes) != 0)
        return false;
    ::cfmakeraw(&attributes);
    attributes.c_cflag |= CLOCAL | CREAD;
    attributes.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    attributes.c_cflag |= line.dataBits;
    switch (line.parity) {
    case 'e':
        attributes.c_cflag |= PARENB;
        break;
    case 'o':
        attributes.c_cflag |= PARENB | PARODD;
        break;
    case 'm':
        attributes.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case 's':
        attributes.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (line.twoStopBits)
        attributes.c_cflag |= CSTOPB;
    attributes.c_iflag &= ~(IXON | IXOFF | IXANY);
    // One byte at least per read: a read of 0 bytes then means a hang-up, not "nothing yet".
    attributes.c_cc[VMIN] = 1;
    attributes.c_cc[VTIME] = 0;
    ::cfsetispeed(&attributes, line.speed);
    ::cfsetospeed(&attributes, line.speed);
    return ::tcsetattr(descriptor, TCSANOW, &attributes) == 0;
}

} // namespace

void CMSComm::LaterDeleter::operator()(QObject* object) const
{
    object->deleteLater();
}

CMSComm::CMSComm(QObject* parent) : QObject(parent), m_modemLines(std::make_shared<TerminalModemLines>())
{
    m_pollTimer.setInterval(kModemPollInterval);
    connect(&m_pollTimer, &QTimer::timeout, this, &CMSComm::pollModemLines);
}

CMSComm::~CMSComm()
{
    closeDevice();
}

QString CMSComm::devicePath(int commPort)
{
    if (commPort < 1)
        return {};
    const QString named = qEnvironmentVariable(QStringLiteral("REGDESK_COM%1").arg(commPort).toLatin1().constData());
    if (named.isEmpty())
        return QStringLiteral("/dev/ttyS%1").arg(commPort - 1);
    if (!named.contains(QLatin1Char('/')))
        return QStringLiteral("/dev/") + named;
    return named;
}

void CMSComm::setModemLines(std::shared_ptr<ModemLines> lines)
{
    m_modemLines = std::move(lines);
}

bool CMSComm::setSettings(const QString& settings)
{
    const std::optional<LineSettings> line = parseSettings(settings);
    if (!line)
        return false;
    m_settings = settings;
    if (deviceOpen())
        applySettings(m_device.get(), *line);
    return true;
}

void CMSComm::setPortOpen(bool open)
{
    if (open == m_portOpen)
        return;
    m_portOpen = open;
    m_inBuffer.clear();
    if (!open) {
        m_pollTimer.stop();
        closeDevice();
        m_lastDsr = false;
        return;
    }
    openDevice();
    m_lastDsr = dsrHolding();
    m_pollTimer.start();
}

QByteArray CMSComm::input()
{
    const qsizetype count = m_inputLen > 0 ? std::min<qsizetype>(m_inputLen, m_inBuffer.size()) : m_inBuffer.size();
    QByteArray taken = m_inBuffer.left(count);
    m_inBuffer.remove(0, count);
    if (m_notifier && !m_notifier->isEnabled() && m_inBuffer.size() < m_inBufferSize)
        m_notifier->setEnabled(true);
    return taken;
}

void CMSComm::setInBufferSize(short size)
{
    if (size > 0)
        m_inBufferSize = size;
}

bool CMSComm::dsrHolding() const
{
    return deviceOpen() && currentDsr();
}

bool CMSComm::openDevice()
{
    m_deviceName = devicePath(m_commPort);
    if (m_deviceName.isEmpty())
        return false;
    const QByteArray path = m_deviceName.toLocal8Bit();
    UniqueFd device(::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!device)
        return false;
    const std::optional<LineSettings> line = parseSettings(m_settings);
    if (!::isatty(device.get()) || !line || !applySettings(device.get(), *line))
        return false;
    // Keep other programs off the scanner while the desk listens, and start
    // from an empty line as a freshly opened port does.
    ::ioctl(device.get(), TIOCEXCL);
    ::tcflush(device.get(), TCIOFLUSH);
    m_device = std::move(device);
    ++m_deviceGeneration;
    m_notifier.reset(new QSocketNotifier(m_device.get(), QSocketNotifier::Read, this));
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &CMSComm::readDevice);
    return true;
}

void CMSComm::closeDevice()
{
    if (m_notifier) {
        m_notifier->setEnabled(false);
        m_notifier->disconnect(this);
        m_notifier.reset();
    }
    m_device.reset();
}

void CMSComm::readDevice()
{
    if (!deviceOpen())
        return;
    const quint64 device = m_deviceGeneration;
    const qsizetype before = m_inBuffer.size();
    bool lost = false;
    std::array<char, 512> chunk;
    while (m_inBuffer.size() < m_inBufferSize) {
        const std::size_t room = std::min<std::size_t>(chunk.size(), m_inBufferSize - m_inBuffer.size());
        const ssize_t count = ::read(m_device.get(), chunk.data(), room);
        if (count > 0) {
            m_inBuffer.append(chunk.data(), count);
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        // A hang-up (0) or an error means the device has gone; anything
        // else is "nothing more for now".
        lost = count == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        break;
    }
    if (m_inBuffer.size() >= m_inBufferSize && m_notifier)
        m_notifier->setEnabled(false);
    // The last bytes before a loss are still delivered.
    if (m_inBuffer.size() > before && m_rThreshold > 0 && m_inBuffer.size() >= m_rThreshold)
        raise(comEvReceive);
    // Reading again would only repeat the error: let go of the device at
    // once, unless the event above already replaced it.
    if (lost && deviceOpen() && device == m_deviceGeneration)
        deviceLost();
}

void CMSComm::deviceLost()
{
    closeDevice();
    if (m_lastDsr) {
        m_lastDsr = false;
        raise(comEvDSR);
    }
}

void CMSComm::pollModemLines()
{
    if (!m_portOpen)
        return;
    if (!deviceOpen() && !openDevice())
        return;
    const bool dsr = currentDsr();
    if (dsr == m_lastDsr)
        return;
    m_lastDsr = dsr;
    raise(comEvDSR);
}

bool CMSComm::currentDsr() const
{
    if (!m_modemLines)
        return true;
    return m_modemLines->dataSetReady(m_device.get()).value_or(true);
}

void CMSComm::raise(short event)
{
    m_commEvent = event;
    emit OnComm();
}

} // namespace regdesk
