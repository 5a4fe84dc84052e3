#include "ScanReader.h"

#include "ThreePartBlock.h"
#include "lattix.h"
#include "posix/SerialPort.h"
#include "support/ZxingDecoder.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>
#include <poll.h>
#include <pty.h>
#include <semaphore>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using lattix::Bytes;
using lattix::ByteView;
using lattix::ScanPortSettings;
using lattix::ScanReader;

Bytes bytesOf(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

Bytes patternBytes(std::size_t count, std::uint8_t seed)
{
    Bytes out(count);
    for (std::size_t i = 0; i < count; ++i)
        out[i] = static_cast<std::uint8_t>(seed + i * 7);
    return out;
}

Bytes concat(std::initializer_list<Bytes> pieces)
{
    Bytes out;
    for (const Bytes& piece : pieces)
        out.insert(out.end(), piece.begin(), piece.end());
    return out;
}

Bytes blockOf(const Bytes& text, const Bytes& image, const Bytes& other)
{
    lattix::ThreePartBlock block;
    block.setText(text);
    block.addImage(image);
    block.addOther(other);
    return block.bytes();
}

Bytes toBytes(ByteView view)
{
    return Bytes(view.begin(), view.end());
}

// --- Splitting a received scan ------------------------------------------------

struct SplitCase
{
    const char* name;
    Bytes scan;
    Bytes text;
    Bytes image;
    Bytes other;

    friend void PrintTo(const SplitCase& row, std::ostream* out) { *out << row.name; }
};

class SplitScan : public testing::TestWithParam<SplitCase>
{
};

TEST_P(SplitScan, GivesTheExpectedParts)
{
    const SplitCase& row = GetParam();
    const lattix::ScanParts parts = lattix::splitScan(row.scan);
    EXPECT_EQ(toBytes(parts.text), row.text);
    EXPECT_EQ(toBytes(parts.image), row.image);
    EXPECT_EQ(toBytes(parts.other), row.other);
}

const Bytes kText100 = patternBytes(100, 1);
const Bytes kImage50 = patternBytes(50, 2);
const Bytes kOther30 = patternBytes(30, 3);

const SplitCase kSplitCases[] = {
    {"PlainTextWithCr", bytesOf("ABC\r"), bytesOf("ABC"), {}, {}},
    {"PlainTextWithoutCr", bytesOf("ABC"), bytesOf("ABC"), {}, {}},
    {"OnlyOneCrIsDropped", bytesOf("AB\r\r"), bytesOf("AB\r"), {}, {}},
    {"TextAndImageBlock", blockOf(kText100, kImage50, {}), kText100, kImage50, {}},
    {"ThreePartBlock", blockOf(kText100, kImage50, kOther30), kText100, kImage50, kOther30},
    {"TextAndOtherBlock", blockOf(kText100, {}, kOther30), kText100, {}, kOther30},
    {"BlockFollowedByCr", concat({blockOf(kText100, kImage50, {}), bytesOf("\r")}), kText100, kImage50, {}},
    {"EmptyBlockIsEightBytes", Bytes{0, 0, 0, 0, 0, 0, 'N', 0xFF}, {}, {}, {}},
    {"ByteBeforeFfIsNotExamined", Bytes{'x', 1, 0, 0, 0, 0, 0, 'Q', 0xFF}, {}, {}, Bytes{'x'}},
    {"LengthsOneShortGoWhole",
     concat({kText100, Bytes{0, 0, 0, 0, 99, 0, 'N', 0xFF}}),
     concat({kText100, Bytes{0, 0, 0, 0, 99, 0, 'N', 0xFF}}),
     {},
     {}},
    {"LengthsOneOverGoWhole",
     concat({kText100, Bytes{0, 0, 0, 0, 101, 0, 'N', 0xFF}}),
     concat({kText100, Bytes{0, 0, 0, 0, 101, 0, 'N', 0xFF}}),
     {},
     {}},
    {"NoFfAtTheEndGoesWhole",
     concat({kText100, Bytes{0, 0, 0, 0, 100, 0, 'N', 0xFE}}),
     concat({kText100, Bytes{0, 0, 0, 0, 100, 0, 'N', 0xFE}}),
     {},
     {}},
    {"SevenBytesEndingInFf", Bytes{0, 0, 0, 0, 0, 'N', 0xFF}, Bytes{0, 0, 0, 0, 0, 'N', 0xFF}, {}, {}},
    {"SingleFf", Bytes{0xFF}, Bytes{0xFF}, {}, {}},
    {"OnlyCr", bytesOf("\r"), {}, {}, {}},
    {"Empty", {}, {}, {}, {}},
};

INSTANTIATE_TEST_SUITE_P(Scans, SplitScan, testing::ValuesIn(kSplitCases),
                         [](const testing::TestParamInfo<SplitCase>& row) { return std::string(row.param.name); });

// --- Port names ---------------------------------------------------------------

struct PortNameCase
{
    const char* name;
    const char* port;
    const char* device;

    friend void PrintTo(const PortNameCase& row, std::ostream* out) { *out << row.name; }
};

class PortName : public testing::TestWithParam<PortNameCase>
{
};

TEST_P(PortName, MapsToDevice)
{
    EXPECT_EQ(lattix::SerialPort::devicePath(GetParam().port), GetParam().device);
}

INSTANTIATE_TEST_SUITE_P(
    Names, PortName,
    testing::Values(PortNameCase{"Com1", "COM1", "/dev/ttyS0"}, PortNameCase{"Com4", "COM4", "/dev/ttyS3"},
                    PortNameCase{"Com10", "COM10", "/dev/ttyS9"}, PortNameCase{"LowerCase", "com2", "/dev/ttyS1"},
                    PortNameCase{"AbsolutePath", "/dev/pts/7", "/dev/pts/7"},
                    PortNameCase{"ComZeroUnchanged", "COM0", "COM0"}, PortNameCase{"ComWithoutNumber", "COM", "COM"},
                    PortNameCase{"ComWithLetters", "COM1x", "COM1x"}),
    [](const testing::TestParamInfo<PortNameCase>& row) { return std::string(row.param.name); });

// --- The reader over a pseudo-terminal ------------------------------------------

constexpr std::array<std::uint8_t, 12> kNotice = {0x00, 0x01, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0, 0};
// Only a safety net against a hung test; no result depends on it.
constexpr int kNoticeWaitMs = 10000;

std::optional<Bytes> readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A pseudo-terminal pair standing in for the scanner's line, a pipe standing in for the host window,
// and a fresh output folder.
class ScanReaderPty : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(openpty(&m_master, &m_slave, nullptr, nullptr, nullptr), 0);
        m_portPath = ttyname(m_slave);
        int fds[2];
        ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
        m_noticeRead = fds[0];
        m_noticeWrite = fds[1];
        char pattern[] = "/tmp/scanreader-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_folder = m_dir.string() + "/";
    }

    void TearDown() override
    {
        m_reader.reset();
        for (int fd : {m_master, m_slave, m_noticeRead, m_noticeWrite}) {
            if (fd >= 0)
                ::close(fd);
        }
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    ScanPortSettings settings() const { return ScanPortSettings{m_portPath, 9600}; }

    int start(const std::string& folder)
    {
        return m_reader->start(m_noticeWrite, folder, [this] { return settings(); });
    }

    void send(const Bytes& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t wrote = ::write(m_master, bytes.data() + done, bytes.size() - done);
            ASSERT_GT(wrote, 0) << "errno " << errno;
            done += static_cast<std::size_t>(wrote);
        }
    }

    // Waits for one notification record and checks its bytes.
    bool awaitNotice()
    {
        pollfd ready{m_noticeRead, POLLIN, 0};
        if (::poll(&ready, 1, kNoticeWaitMs) != 1)
            return false;
        std::array<std::uint8_t, 12> record{};
        if (::read(m_noticeRead, record.data(), record.size()) != static_cast<ssize_t>(record.size()))
            return false;
        EXPECT_EQ(record, kNotice);
        return true;
    }

    // Bytes left in the notification pipe; call once the reader has stopped.
    std::size_t pendingNoticeBytes() const
    {
        pollfd ready{m_noticeRead, POLLIN, 0};
        if (::poll(&ready, 1, 0) != 1)
            return 0;
        std::array<std::uint8_t, 256> rest{};
        const ssize_t got = ::read(m_noticeRead, rest.data(), rest.size());
        return got > 0 ? static_cast<std::size_t>(got) : 0;
    }

    std::optional<Bytes> output(const std::string& name) const { return readFile(m_folder + name); }

    std::unique_ptr<ScanReader> m_reader = std::make_unique<ScanReader>();
    int m_master = -1;
    int m_slave = -1;
    int m_noticeRead = -1;
    int m_noticeWrite = -1;
    std::string m_portPath;
    std::filesystem::path m_dir;
    std::string m_folder;
};

TEST_F(ScanReaderPty, PlainTextWithCrGoesToTextFileWithOneNotice)
{
    ASSERT_EQ(start(m_folder), 0);
    send(bytesOf("ABC\r"));
    ASSERT_TRUE(awaitNotice());
    EXPECT_EQ(output("temp.txt"), bytesOf("ABC"));
    EXPECT_EQ(output("temp.img"), Bytes{});
    EXPECT_EQ(output("temp.oth"), Bytes{});
    EXPECT_EQ(m_reader->stop(), 0);
    EXPECT_EQ(pendingNoticeBytes(), 0U);
}

TEST_F(ScanReaderPty, BlockIsSplitIntoTextAndImage)
{
    ASSERT_EQ(start(m_folder), 0);
    const Bytes block = blockOf(kText100, kImage50, {});
    ASSERT_EQ(block.size(), 158U);
    EXPECT_EQ(Bytes(block.end() - 8, block.end()), (Bytes{0x00, 0x00, 0x32, 0x00, 0x64, 0x00, 0x4E, 0xFF}));
    send(block);
    ASSERT_TRUE(awaitNotice());
    EXPECT_EQ(output("temp.txt"), kText100);
    EXPECT_EQ(output("temp.img"), kImage50);
    EXPECT_EQ(output("temp.oth"), Bytes{});
}

TEST_F(ScanReaderPty, EachScanReplacesAllThreeFiles)
{
    ASSERT_EQ(start(m_folder), 0);
    send(blockOf(kText100, kImage50, kOther30));
    ASSERT_TRUE(awaitNotice());
    EXPECT_EQ(output("temp.oth"), kOther30);
    send(bytesOf("second\r"));
    ASSERT_TRUE(awaitNotice());
    EXPECT_EQ(output("temp.txt"), bytesOf("second"));
    EXPECT_EQ(output("temp.img"), Bytes{});
    EXPECT_EQ(output("temp.oth"), Bytes{});
}

TEST_F(ScanReaderPty, WrongTrailerPutsEverythingIntoText)
{
    ASSERT_EQ(start(m_folder), 0);
    Bytes block = blockOf(kText100, kImage50, {});
    block[block.size() - 4] = 99; // T one short
    send(block);
    ASSERT_TRUE(awaitNotice());
    EXPECT_EQ(output("temp.txt"), block);
    EXPECT_EQ(output("temp.img"), Bytes{});
}

TEST_F(ScanReaderPty, FewerThanEightBytesAreText)
{
    ASSERT_EQ(start(m_folder), 0);
    const Bytes shortScan{0, 0, 0, 0, 0, 'N', 0xFF};
    send(shortScan);
    ASSERT_TRUE(awaitNotice());
    EXPECT_EQ(output("temp.txt"), shortScan);
}

TEST_F(ScanReaderPty, SecondStartIsRefusedAndChangesNothing)
{
    ASSERT_EQ(start(m_folder), 0);
    const std::filesystem::path other = m_dir / "other";
    std::filesystem::create_directory(other);
    EXPECT_EQ(start(other.string() + "/"), 1);
    send(bytesOf("XYZ\r"));
    ASSERT_TRUE(awaitNotice());
    EXPECT_EQ(output("temp.txt"), bytesOf("XYZ"));
    EXPECT_FALSE(std::filesystem::exists(other / "temp.txt"));
}

TEST_F(ScanReaderPty, FolderWithoutSlashIsJoinedDirectly)
{
    ASSERT_EQ(start(m_folder + "scan_"), 0);
    send(bytesOf("ABC\r"));
    ASSERT_TRUE(awaitNotice());
    EXPECT_EQ(output("scan_temp.txt"), bytesOf("ABC"));
    EXPECT_EQ(output("scan_temp.img"), Bytes{});
    EXPECT_EQ(output("scan_temp.oth"), Bytes{});
    EXPECT_FALSE(output("temp.txt").has_value());
}

TEST_F(ScanReaderPty, LongTransmissionIsCutIntoBufferSizedScans)
{
    ASSERT_EQ(start(m_folder), 0);
    const Bytes first = patternBytes(ScanReader::kReceiveBufferBytes, 5);
    const Bytes rest = patternBytes(100, 9);
    send(concat({first, rest}));
    ASSERT_TRUE(awaitNotice());
    EXPECT_EQ(output("temp.txt"), first);
    ASSERT_TRUE(awaitNotice());
    EXPECT_EQ(output("temp.txt"), rest);
    EXPECT_EQ(m_reader->stop(), 0);
    EXPECT_EQ(pendingNoticeBytes(), 0U);
}

TEST_F(ScanReaderPty, ExactlyBufferSizedTransmissionIsOneScan)
{
    ASSERT_EQ(start(m_folder), 0);
    const Bytes whole = patternBytes(ScanReader::kReceiveBufferBytes, 11);
    send(whole);
    ASSERT_TRUE(awaitNotice());
    EXPECT_EQ(output("temp.txt"), whole);
    EXPECT_EQ(m_reader->stop(), 0);
    EXPECT_EQ(pendingNoticeBytes(), 0U);
}

TEST_F(ScanReaderPty, StopWithoutStartAndTwiceReportsNotRunning)
{
    EXPECT_EQ(m_reader->stop(), 1);
    ASSERT_EQ(start(m_folder), 0);
    EXPECT_EQ(m_reader->stop(), 0);
    EXPECT_EQ(m_reader->stop(), 1);
}

TEST_F(ScanReaderPty, StopFromAnotherThreadAndRestart)
{
    ASSERT_EQ(start(m_folder), 0);
    int stopped = -1;
    std::thread([&] { stopped = m_reader->stop(); }).join();
    EXPECT_EQ(stopped, 0);
    // The port is free again and the reader works after a restart.
    ASSERT_EQ(start(m_folder), 0);
    send(bytesOf("again\r"));
    ASSERT_TRUE(awaitNotice());
    EXPECT_EQ(output("temp.txt"), bytesOf("again"));
}

TEST_F(ScanReaderPty, StartAndStopRaceFromTwoThreads)
{
    for (int round = 0; round < 10; ++round) {
        std::thread starter([&] { EXPECT_EQ(start(m_folder), 0); });
        starter.join();
        int secondStart = -1;
        std::thread stopper([&] { EXPECT_EQ(m_reader->stop(), 0); });
        std::thread second([&] { secondStart = start(m_folder); });
        stopper.join();
        second.join();
        // Refused while the first reader ran, or started after it stopped: never both or neither.
        ASSERT_TRUE(secondStart == 0 || secondStart == 1);
        EXPECT_EQ(m_reader->stop(), secondStart == 0 ? 0 : 1);
    }
}

TEST_F(ScanReaderPty, HangUpNeitherNotifiesNorBlocksStop)
{
    ASSERT_EQ(start(m_folder), 0);
    send(bytesOf("first\r"));
    ASSERT_TRUE(awaitNotice());
    // After a hang-up every read fails at once; the reader must neither announce empty scans nor miss
    // the stop request. Give it time to go round its loop a few times first.
    ::close(m_master);
    m_master = -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(m_reader->stop(), 0);
    EXPECT_EQ(pendingNoticeBytes(), 0U);
    EXPECT_EQ(output("temp.txt"), bytesOf("first"));
}

TEST_F(ScanReaderPty, HostThatClosedItsPipeDoesNotStopTheReader)
{
    ::close(m_noticeRead);
    m_noticeRead = -1;
    ASSERT_EQ(start(m_folder), 0);
    send(bytesOf("one\r"));
    // No notice can be seen; wait for the file instead, then make sure the reader still runs.
    for (int tries = 0; tries < 500 && output("temp.txt") != bytesOf("one"); ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(output("temp.txt"), bytesOf("one"));
    EXPECT_EQ(m_reader->stop(), 0);
}

TEST_F(ScanReaderPty, UnwritableFolderStillNotifies)
{
    ASSERT_EQ(start(m_folder + "missing/"), 0);
    send(bytesOf("ABC\r"));
    EXPECT_TRUE(awaitNotice());
    EXPECT_FALSE(std::filesystem::exists(m_dir / "missing"));
}

// Every open descriptor of this process with what it refers to.
std::vector<std::string> openDescriptors()
{
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        found.push_back(entry.path().filename().string() + " " +
                        std::filesystem::read_symlink(entry.path(), error).string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

TEST_F(ScanReaderPty, ThreadOutlivingItsStopWritesNothingIntoAReusedDescriptor)
{
    // Shared with the reader's copy of the sink, which may be the last to let go of it.
    struct Gate
    {
        std::binary_semaphore delivering{0};
        std::binary_semaphore release{0};
    };
    const auto gate = std::make_shared<Gate>();
    m_reader = std::make_unique<ScanReader>(std::chrono::milliseconds(50), [gate](const std::string&, ByteView) {
        gate->delivering.release();
        gate->release.acquire(); // a write that hangs, as on a stalled network folder
    });
    ASSERT_EQ(start(m_folder), 0);
    // From now on only the reader holds the line: the scanner's side sees it close with the reader's end.
    ::close(m_slave);
    m_slave = -1;
    send(bytesOf("ABC\r"));
    ASSERT_TRUE(gate->delivering.try_acquire_for(std::chrono::milliseconds(kNoticeWaitMs)));
    EXPECT_EQ(m_reader->stop(), 0); // the stop wait runs out

    // The host closes its descriptor, and the number goes to something else.
    int reused[2];
    ASSERT_EQ(pipe2(reused, O_CLOEXEC), 0);
    ASSERT_EQ(::dup2(reused[1], m_noticeWrite), m_noticeWrite);
    ::close(reused[1]);
    gate->release.release();

    // The thread ends and closes the port.
    pollfd ended{m_master, POLLIN, 0};
    ASSERT_EQ(::poll(&ended, 1, kNoticeWaitMs), 1);
    EXPECT_NE(ended.revents & POLLHUP, 0);
    EXPECT_EQ(pendingNoticeBytes(), 0U);
    pollfd other{reused[0], POLLIN, 0};
    EXPECT_EQ(::poll(&other, 1, 0), 0) << "a record went into the reused descriptor";
    ::close(reused[0]);
}

// --- Refusals -------------------------------------------------------------------

std::string captureStderr(const std::function<void()>& action)
{
    std::fflush(stderr);
    char pattern[] = "/tmp/scanreader-stderr-XXXXXX";
    const int capture = mkstemp(pattern);
    const int saved = ::dup(2);
    ::dup2(capture, 2);
    action();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    ::close(capture);
    const std::optional<Bytes> text = readFile(pattern);
    std::filesystem::remove(pattern);
    return text ? std::string(text->begin(), text->end()) : std::string();
}

// "无法打开 " in GBK.
const std::string kCannotOpenGbk = "\xce\xde\xb7\xa8\xb4\xf2\xbf\xaa ";

TEST_F(ScanReaderPty, MissingPortIsReportedAndRefused)
{
    int result = -1;
    const std::string text = captureStderr([&] {
        result = m_reader->start(m_noticeWrite, m_folder, [] { return ScanPortSettings{"/dev/no-such-port", 9600}; });
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(text, kCannotOpenGbk + "/dev/no-such-port \n");
    EXPECT_EQ(m_reader->stop(), 1);
}

TEST_F(ScanReaderPty, UnsupportedBaudRateIsReportedAndRefused)
{
    int result = -1;
    const std::string text = captureStderr([&] {
        result = m_reader->start(m_noticeWrite, m_folder, [this] { return ScanPortSettings{m_portPath, 12345}; });
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(text, kCannotOpenGbk + m_portPath + " \n");
    EXPECT_EQ(m_reader->stop(), 1);
}

TEST_F(ScanReaderPty, PlainFileIsNotAPort)
{
    const std::string file = m_folder + "not-a-tty";
    std::ofstream(file) << "x";
    int result = -1;
    captureStderr([&] {
        result = m_reader->start(m_noticeWrite, m_folder, [&] { return ScanPortSettings{file, 9600}; });
    });
    EXPECT_EQ(result, 1);
}

TEST_F(ScanReaderPty, FolderLimitIs255Bytes)
{
    bool settingsRead = false;
    const auto readSettings = [&] {
        settingsRead = true;
        return settings();
    };
    EXPECT_EQ(m_reader->start(m_noticeWrite, std::string(256, 'a'), readSettings), 1);
    EXPECT_FALSE(settingsRead);
    EXPECT_EQ(m_reader->start(m_noticeWrite, std::string(255, 'a'), readSettings), 0);
    EXPECT_EQ(m_reader->stop(), 0);
}

TEST_F(ScanReaderPty, NegativeDescriptorIsRefused)
{
    EXPECT_EQ(m_reader->start(-1, m_folder, [this] { return settings(); }), 1);
    EXPECT_EQ(m_reader->stop(), 1);
}

// --- InitRead and CloseRead through the library -------------------------------

// The pty fixture with the library's exports: settings in a file named through SetConFile, and the
// temporary folder as the current folder (MakePdf417 writes its files there).
class InitReadExport : public ScanReaderPty
{
protected:
    void SetUp() override
    {
        ScanReaderPty::SetUp();
        m_savedCwd = std::filesystem::current_path();
        std::filesystem::current_path(m_dir);
        m_settingsFile = m_folder + "scan.ini";
        SetConFile(m_settingsFile.c_str());
        // Port holds at most 11 characters; a longer pty name is reached through a link in the folder.
        m_portSetting = m_portPath;
        if (m_portSetting.size() > 11) {
            std::filesystem::create_symlink(m_portPath, m_dir / "pty");
            m_portSetting = "pty";
        }
    }

    void TearDown() override
    {
        CloseRead();
        std::filesystem::current_path(m_savedCwd);
        ScanReaderPty::TearDown();
    }

    void writeSettings(const std::string& port, const std::string& baudLine = "Baudrate=9600\n")
    {
        std::ofstream(m_settingsFile, std::ios::binary) << "[PDF]\nECCLevel=2\n[scan]\n Port = " << port << "\n"
                                                        << baudLine;
    }

    HWND window() const { return reinterpret_cast<HWND>(static_cast<std::intptr_t>(m_noticeWrite)); }

    std::filesystem::path m_savedCwd;
    std::string m_settingsFile;
    std::string m_portSetting;
};

TEST_F(InitReadExport, ScanOfSymbolMadeByMakePdf417IsSplitIntoItsParts)
{
    const Bytes text = patternBytes(100, 0x41);
    const Bytes image = patternBytes(50, 0x80);
    std::ofstream("text.bin", std::ios::binary).write(reinterpret_cast<const char*>(text.data()), 100);
    std::ofstream("image.bin", std::ios::binary).write(reinterpret_cast<const char*>(image.data()), 50);
    writeSettings(m_portSetting);

    const BSTR result = MakePdf417("text.bin", "image.bin", "");
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(SysStringByteLen(result), 128U);
    SysFreeString(result);
    const std::optional<Bytes> bitmap = readFile(m_dir / "TempPdf.bmp");
    ASSERT_TRUE(bitmap.has_value());
    // What a scanner reads from the printed symbol.
    const std::optional<Bytes> scanned = lattix::test::decodeBitmap(*bitmap);
    ASSERT_TRUE(scanned.has_value());
    ASSERT_EQ(scanned->size(), 158U);
    EXPECT_EQ(Bytes(scanned->end() - 8, scanned->end()), (Bytes{0x00, 0x00, 0x32, 0x00, 0x64, 0x00, 0x4E, 0xFF}));

    ASSERT_EQ(InitRead(window(), m_folder.c_str()), 0);
    send(concat({*scanned, bytesOf("\r")}));
    ASSERT_TRUE(awaitNotice());
    EXPECT_EQ(output("temp.txt"), text);
    EXPECT_EQ(output("temp.img"), image);
    EXPECT_EQ(output("temp.oth"), Bytes{});
    EXPECT_EQ(CloseRead(), 0);
    EXPECT_EQ(CloseRead(), 1);
    EXPECT_EQ(pendingNoticeBytes(), 0U);
}

TEST_F(InitReadExport, SecondInitReadIsRefusedAndKeepsTheFolder)
{
    writeSettings(m_portSetting);
    ASSERT_EQ(InitRead(window(), m_folder.c_str()), 0);
    EXPECT_EQ(InitRead(window(), (m_folder + "second_").c_str()), 1);
    send(bytesOf("ABC\r"));
    ASSERT_TRUE(awaitNotice());
    EXPECT_EQ(output("temp.txt"), bytesOf("ABC"));
    EXPECT_FALSE(output("second_temp.txt").has_value());
}

TEST_F(InitReadExport, CloseReadFromAnotherThread)
{
    writeSettings(m_portSetting);
    ASSERT_EQ(InitRead(window(), m_folder.c_str()), 0);
    int stopped = -1;
    std::thread([&] { stopped = CloseRead(); }).join();
    EXPECT_EQ(stopped, 0);
    EXPECT_EQ(CloseRead(), 1);
}

TEST_F(InitReadExport, CloseReadClosesThePortAndEveryDescriptorTheReaderOpened)
{
    writeSettings(m_portSetting);
    const std::vector<std::string> before = openDescriptors();
    ASSERT_EQ(InitRead(window(), m_folder.c_str()), 0);
    send(bytesOf("ABC\r"));
    ASSERT_TRUE(awaitNotice());
    EXPECT_EQ(CloseRead(), 0);
    EXPECT_EQ(openDescriptors(), before);
}

TEST_F(InitReadExport, SetConFileWhileInitReadRunsNeverGivesAMixedName)
{
    // Two names of one length; the mixtures of the two name files too, whose port tells of a torn read.
    for (const char* name : {"ab", "ba"})
        std::ofstream(m_folder + name + ".ini") << "[SCAN]\nPort=/dev/torn\n";
    for (const char* name : {"aa", "bb"})
        std::ofstream(m_folder + name + ".ini") << "[SCAN]\nPort=/dev/whole\n";
    const std::string firstPath = m_folder + "aa.ini", secondPath = m_folder + "bb.ini";
    SetConFile(firstPath.c_str());
    std::atomic<bool> done{false};
    std::thread setter([&] {
        for (bool flip = false; !done.load(); flip = !flip)
            SetConFile((flip ? secondPath : firstPath).c_str());
    });
    const std::string reports = captureStderr([&] {
        for (int i = 0; i < 3000; ++i)
            InitRead(window(), m_folder.c_str()); // refused: the port does not exist
    });
    done = true;
    setter.join();
    EXPECT_EQ(reports.find("torn"), std::string::npos);
    EXPECT_NE(reports.find("whole"), std::string::npos);
}

TEST_F(InitReadExport, NullWindowOrFolderIsRefused)
{
    writeSettings(m_portSetting);
    EXPECT_EQ(InitRead(nullptr, m_folder.c_str()), 1);
    EXPECT_EQ(InitRead(window(), nullptr), 1);
    EXPECT_EQ(CloseRead(), 1);
}

struct RefusedPortCase
{
    const char* name;
    const char* port; // empty: the pty
    const char* baudLine;
    const char* reportedName; // empty: as port

    friend void PrintTo(const RefusedPortCase& row, std::ostream* out) { *out << row.name; }
};

class InitReadRefusedPort : public InitReadExport, public testing::WithParamInterface<RefusedPortCase>
{
};

TEST_P(InitReadRefusedPort, ReportsThePortNameAndReturnsOne)
{
    const RefusedPortCase& row = GetParam();
    const std::string port = row.port[0] ? std::string(row.port) : m_portSetting;
    writeSettings(port, row.baudLine);
    int result = -1;
    const std::string text = captureStderr([&] { result = InitRead(window(), m_folder.c_str()); });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(text, kCannotOpenGbk + (row.reportedName[0] ? std::string(row.reportedName) : port) + " \n");
    EXPECT_EQ(CloseRead(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, InitReadRefusedPort,
    testing::Values(RefusedPortCase{"MissingDevice", "/dev/nodev", "Baudrate=9600\n", ""},
                    RefusedPortCase{"ComNameOfMissingDevice", "COM99", "Baudrate=9600\n", ""},
                    RefusedPortCase{"PortNameCutTo11Characters", "/dev/nothere", "Baudrate=9600\n", "/dev/nother"},
                    RefusedPortCase{"UnsupportedBaudRate", "", "Baudrate=12345\n", ""},
                    RefusedPortCase{"ZeroBaudRate", "", "Baudrate=0\n", ""}),
    [](const testing::TestParamInfo<RefusedPortCase>& row) { return std::string(row.param.name); });

TEST_F(InitReadExport, SettingsAreReadAtEveryInitRead)
{
    writeSettings("/dev/nothere");
    captureStderr([&] { EXPECT_EQ(InitRead(window(), m_folder.c_str()), 1); });
    // Baudrate missing: the default rate.
    writeSettings(m_portSetting, "");
    ASSERT_EQ(InitRead(window(), m_folder.c_str()), 0);
    send(bytesOf("ok\r"));
    ASSERT_TRUE(awaitNotice());
    EXPECT_EQ(output("temp.txt"), bytesOf("ok"));
}

} // namespace
