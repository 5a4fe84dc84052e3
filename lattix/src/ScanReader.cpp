#include "ScanReader.h"

#include "FileIo.h"
#include "ProfileReader.h"
#include "ThreePartBlock.h"
#include "posix/SerialPort.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>
#include <utility>

namespace lattix {
namespace {

using namespace std::chrono_literals;

constexpr auto kStopWait = 5000ms;
constexpr std::size_t kPortNameMaxChars = 11;
constexpr auto kRetryAfterFailure = 200ms;

// "无法打开 " in GBK, the library's text encoding.
constexpr char kCannotOpen[] = "\xce\xde\xb7\xa8\xb4\xf2\xbf\xaa ";

// WM_KEYDOWN with key code 255 and 0, as three little-endian 32-bit values.
constexpr std::array<std::uint8_t, 12> kScanNotice = {0x00, 0x01, 0x00, 0x00, 0xFF, 0x00,
                                                      0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

std::size_t littleEndian16(ByteView bytes, std::size_t at)
{
    return static_cast<std::size_t>(bytes[at]) | static_cast<std::size_t>(bytes[at + 1]) << 8;
}

void reportCannotOpen(const std::string& portName)
{
    const std::string line = kCannotOpen + portName + " \n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

// A posted message never blocks its sender, and a full queue loses it: the notice is dropped rather than
// block the reader when the host does not drain its descriptor.
void notifyHost(int fd)
{
    pollfd writable{fd, POLLOUT, 0};
    if (::poll(&writable, 1, 0) != 1 || (writable.revents & POLLOUT) == 0)
        return;
    while (::write(fd, kScanNotice.data(), kScanNotice.size()) < 0 && errno == EINTR) {
    }
}

void writeOut(const std::string& folder, ByteView scan)
{
    const ScanParts parts = splitScan(scan);
    // Every scan replaces all three files, so a part absent now leaves no stale bytes behind.
    writeWholeFile(folder + "temp.txt", parts.text);
    writeWholeFile(folder + "temp.img", parts.image);
    writeWholeFile(folder + "temp.oth", parts.other);
}

} // namespace

ScanPortSettings ScanPortSettings::readFile(const std::string& settingsFile)
{
    const ProfileReader profile = ProfileReader::fromFile(settingsFile);
    const ScanPortSettings defaults;
    ScanPortSettings settings;
    settings.port = profile.getString("SCAN", "Port", defaults.port, kPortNameMaxChars);
    settings.baudrate = profile.getInt("SCAN", "Baudrate", defaults.baudrate);
    return settings;
}

ScanParts splitScan(ByteView scan)
{
    if (!scan.empty() && scan.back() == 0x0D)
        scan = scan.first(scan.size() - 1);
    const std::size_t n = scan.size();
    if (n < ThreePartBlock::kTrailerBytes || scan.back() != 0xFF)
        return {scan, {}, {}};
    const std::size_t other = littleEndian16(scan, n - 8);
    const std::size_t image = littleEndian16(scan, n - 6);
    const std::size_t text = littleEndian16(scan, n - 4);
    if (text + image + other + ThreePartBlock::kTrailerBytes != n)
        return {scan, {}, {}};
    return {scan.first(text), scan.subspan(text, image), scan.subspan(text + image, other)};
}

struct ScanReader::Session
{
    Session(SerialPort openPort, std::string outputFolder, int fd)
        : port(std::move(openPort)), folder(std::move(outputFolder)), notifyFd(fd)
    {}

    const SerialPort port;
    const std::string folder;
    const int notifyFd;
    std::atomic<bool> stopRequested{false};
};

void ScanReader::runReader(const std::shared_ptr<Session>& session)
{
    // Signals belong to the host's threads; a host that closed its end of the pipe must not be killed
    // by SIGPIPE from here.
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);

    Bytes buffer(kReceiveBufferBytes);
    std::size_t received = 0;
    const auto deliver = [&] {
        writeOut(session->folder, ByteView(buffer).first(received));
        notifyHost(session->notifyFd);
        received = 0;
    };
    while (!session->stopRequested.load()) {
        const SerialPort::ReadResult result = session->port.read(std::span(buffer).subspan(received));
        if (result.status == SerialPort::ReadStatus::Data) {
            received += result.count;
            // A transmission without a pause is cut into buffer-sized scans rather than overflow.
            if (received == buffer.size())
                deliver();
            continue;
        }
        if (received > 0)
            deliver();
        if (result.status == SerialPort::ReadStatus::Failed)
            std::this_thread::sleep_for(kRetryAfterFailure);
    }
}

ScanReader::~ScanReader()
{
    stop();
}

int ScanReader::start(int notifyFd, const std::string& folder, const std::function<ScanPortSettings()>& readSettings)
{
    std::lock_guard lock(m_mutex);
    if (m_session)
        return 1;
    if (notifyFd < 0 || folder.size() > kMaxFolderBytes)
        return 1;
    const ScanPortSettings settings = readSettings();
    std::optional<SerialPort> port = SerialPort::open(settings.port, settings.baudrate);
    if (!port) {
        reportCannotOpen(settings.port);
        return 1;
    }
    auto session = std::make_shared<Session>(std::move(*port), folder, notifyFd);
    std::packaged_task<void()> task([session] { runReader(session); });
    std::future<void> finished = task.get_future();
    m_thread = std::thread(std::move(task));
    m_finished = std::move(finished);
    m_session = std::move(session);
    return 0;
}

int ScanReader::stop()
{
    std::lock_guard lock(m_mutex);
    if (!m_session)
        return 1;
    m_session->stopRequested.store(true);
    m_session->port.purge();
    if (m_finished.wait_for(kStopWait) == std::future_status::ready) {
        m_thread.join();
    } else {
        // The thread keeps its own share of the session; the port closes when it finally ends.
        m_thread.detach();
    }
    m_session.reset();
    return 0;
}

ScanReader& processScanReader()
{
    static ScanReader reader;
    return reader;
}

} // namespace lattix
