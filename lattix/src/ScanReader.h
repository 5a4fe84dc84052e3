#pragma once

#include "Bytes.h"

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lattix {

// Where one received scan goes: a ThreePartBlock is split into its parts, anything else is all text.
struct ScanParts
{
    ByteView text;
    ByteView image;
    ByteView other;
};

// A trailing CR is dropped first; the rest is a ThreePartBlock when it ends with 0xFF and the three
// lengths of its trailer plus the trailer add up to its size exactly.
ScanParts splitScan(ByteView scan);

struct ScanPortSettings
{
    std::string port = "COM1";
    int baudrate = 9600;

    // Port (at most 11 characters) and Baudrate of section SCAN, read now.
    static ScanPortSettings readFile(const std::string& settingsFile);
};

// Writes one scan into temp.txt, temp.img and temp.oth of the output folder (folder text and file name
// joined directly), replacing all three.
void writeScanFiles(const std::string& folder, ByteView scan);

// Listens to a scanner on a serial port on a thread of its own. Bytes are gathered until the line has
// been quiet for 200 ms (or 6144 bytes have come without a pause); each such scan is written into
// temp.txt, temp.img and temp.oth of the output folder and announced to the host with one 12-byte
// record on its notification descriptor.
class ScanReader
{
public:
    static constexpr std::size_t kReceiveBufferBytes = 6144;
    static constexpr std::size_t kMaxFolderBytes = 255;
    static constexpr std::chrono::milliseconds kStopWait{5000};

    // Where each scan goes; writeScanFiles unless a test looks on.
    using ScanSink = std::function<void(const std::string& folder, ByteView scan)>;

    explicit ScanReader(std::chrono::milliseconds stopWait = kStopWait, ScanSink sink = writeScanFiles);
    ScanReader(const ScanReader&) = delete;
    ScanReader& operator=(const ScanReader&) = delete;
    ~ScanReader();

    // 0 when the reader was started; 1 when one is running already, the descriptor or folder is refused,
    // or the port cannot be opened or set (then "无法打开 <port> " goes to stderr). The settings are read
    // only once the reader is known to be idle.
    int start(int notifyFd, const std::string& folder, const std::function<ScanPortSettings()>& readSettings);

    // 0 when a running reader was stopped; 1 when none was running. May be called from any thread. Once
    // it returns, the port and every descriptor the reader opened are closed, unless the thread did not
    // end within the stop wait: it then closes them itself when it ends, and writes nothing more.
    int stop();

private:
    struct Session;
    struct Thread
    {
        std::thread thread;
        std::future<void> finished;
    };
    static void runReader(const Session& session);
    void joinFinishedStragglers();

    const std::chrono::milliseconds m_stopWait;
    const ScanSink m_sink;
    std::mutex m_mutex;
    std::shared_ptr<Session> m_session;
    Thread m_reader;
    std::vector<Thread> m_stragglers; // threads that outlived a stop wait
};

// The one reader of this process, behind InitRead and CloseRead.
ScanReader& processScanReader();

} // namespace lattix
