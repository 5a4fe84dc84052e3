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
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>
#include <utility>

namespace lattix {
namespace {

using namespace std::chrono_literals;

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

} // namespace

void writeScanFiles(const std::string& folder, ByteView scan)
{
    const ScanParts parts = splitScan(scan);
    // Every scan replaces all three files, so a part absent now leaves no stale bytes behind.
    writeWholeFile(folder + "temp.txt", parts.text);
    writeWholeFile(folder + "temp.img", parts.image);
    writeWholeFile(folder + "temp.oth", parts.other);
}

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

// What the reader thread works with; it goes, closing the port and the descriptors, with the last of
// the host's and the thread's shares.
struct ScanReader::Session
{
    Session(SerialPort openPort, std::string outputFolder, int ownNotifyFd, ScanSink scanSink)
        : port(std::move(openPort)), folder(std::move(outputFolder)), notifyFd(ownNotifyFd), sink(std::move(scanSink))
    {}
    ~Session() { ::close(notifyFd); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const SerialPort port;
    const std::string folder;
    // A duplicate of the host's descriptor: a thread that outlives a timed-out stop can never write
    // into a number the host has closed and given to something else meanwhile.
    const int notifyFd;
    const ScanSink sink;
    std::atomic<bool> stopRequested{false};
};

ScanReader::ScanReader(std::chrono::milliseconds stopWait, ScanSink sink)
    : m_stopWait(stopWait), m_sink(std::move(sink))
{}

void ScanReader::runReader(const Session& session)
{
    // Signals belong to the host's threads; a host that closed its end of the pipe must not be killed
    // by SIGPIPE from here.
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);

    Bytes buffer(kReceiveBufferBytes);
    std::size_t received = 0;
    const auto deliver = [&] {
        // After a stop the host no longer expects files or notices: nothing more goes out.
        if (!session.stopRequested.load())
            session.sink(session.folder, ByteView(buffer).first(received));
        if (!session.stopRequested.load())
            notifyHost(session.notifyFd);
        received = 0;
    };
    while (!session.stopRequested.load()) {
        const SerialPort::ReadResult result = session.port.read(std::span(buffer).subspan(received));
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
    const std::lock_guard lock(m_mutex);
    joinFinishedStragglers();
    // Threads still hung at the end of the process are left to it.
    for (Thread& straggler : m_stragglers)
        straggler.thread.detach();
}

void ScanReader::joinFinishedStragglers()
{
    std::erase_if(m_stragglers, [](Thread& straggler) {
        if (straggler.finished.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
            return false;
        straggler.thread.join();
        return true;
    });
}

int ScanReader::start(int notifyFd, const std::string& folder, const std::function<ScanPortSettings()>& readSettings)
{
    const std::lock_guard lock(m_mutex);
    joinFinishedStragglers();
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
    const int ownNotifyFd = ::fcntl(notifyFd, F_DUPFD_CLOEXEC, 0);
    if (ownNotifyFd < 0)
        return 1;
    auto session = std::make_shared<Session>(std::move(*port), folder, ownNotifyFd, m_sink);
    std::promise<void> ended;
    m_reader.finished = ended.get_future();
    // The thread lets go of its share before it reports its end, so that once stop() has seen the end
    // and dropped the host's share, the port and descriptors are closed.
    m_reader.thread = std::thread([share = session, ended = std::move(ended)]() mutable {
        runReader(*share);
        share.reset();
        ended.set_value();
    });
    m_session = std::move(session);
    return 0;
}

int ScanReader::stop()
{
    const std::lock_guard lock(m_mutex);
    if (!m_session)
        return 1;
    m_session->stopRequested.store(true);
    m_session->port.purge();
    if (m_reader.finished.wait_for(m_stopWait) == std::future_status::ready)
        m_reader.thread.join();
    else
        m_stragglers.push_back(std::move(m_reader)); // joined once it ends; it closes what it holds
    m_reader = {};
    m_session.reset();
    return 0;
}

ScanReader& processScanReader()
{
    static ScanReader reader;
    return reader;
}

} // namespace lattix
