// document.ini as a careless administrator or an attacker may leave it.
#include "app/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace regdesk;

namespace {

GbkString gbkPath(const QString& path)
{
    return utf8ToGbk(path.toStdString());
}

// Opens the reader on a thread of its own, so that a reader blocked in open()
// fails the test instead of hanging it: after a generous wait a writer is
// attached to the FIFO, which frees it.
SettingsFile openUnblocked(const QString& path)
{
    auto reading = std::async(std::launch::async, [&] { return SettingsFile(gbkPath(path)); });
    if (reading.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        ADD_FAILURE() << "opening " << path.toStdString() << " blocked";
        ::close(::open(path.toLocal8Bit().constData(), O_WRONLY | O_NONBLOCK));
    }
    return reading.get();
}

using Prepare = void (*)(const QString& path);

struct HostileCase
{
    const char* name;
    Prepare prepare;

    friend void PrintTo(const HostileCase& row, std::ostream* out) { *out << row.name; }
};

void writeBytes(const QString& path, const std::string& bytes)
{
    std::ofstream(path.toStdString(), std::ios::binary) << bytes;
}

// A key at the start, padded to `size` bytes.
void settingsOfSize(const QString& path, std::size_t size)
{
    std::string text = "[A]\r\nk=v\r\n";
    text.resize(size, '/');
    writeBytes(path, text);
}

class HostileSettingsFile : public ::testing::TestWithParam<HostileCase>
{
protected:
    QTemporaryDir m_dir;
};

TEST_P(HostileSettingsFile, ReadsAsAnEmptyFile)
{
    const QString path = m_dir.filePath(QStringLiteral("document.ini"));
    GetParam().prepare(path);
    const SettingsFile settings = openUnblocked(path);
    EXPECT_EQ(settings.getString("A", "k"), "");
    EXPECT_TRUE(settings.sectionNames().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostileSettingsFile,
    ::testing::Values(
        HostileCase{"Fifo", [](const QString& path) { ASSERT_EQ(::mkfifo(path.toLocal8Bit().constData(), 0600), 0); }},
        HostileCase{"LinkToTheZeroDevice",
                    [](const QString& path) { ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path)); }},
        HostileCase{"Folder", [](const QString& path) { ASSERT_TRUE(QDir().mkdir(path)); }},
        HostileCase{"OneByteOverTheLimit",
                    [](const QString& path) { settingsOfSize(path, SettingsFile::kMaxFileBytes + 1); }}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(SettingsFileLimits, FileOfExactlyTheLimitIsRead)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("document.ini"));
    settingsOfSize(path, SettingsFile::kMaxFileBytes);
    EXPECT_EQ(SettingsFile(gbkPath(path)).getString("A", "k"), "v");
}

TEST(SettingsFileLimits, LongListReadsEveryEntryInOrder)
{
    // 200,000 short entries fit within the size limit.
    constexpr int kEntries = 200000;
    const auto valueOf = [](int i) { return std::string(1, static_cast<char>('a' + i % 26)); };
    std::string text = "[L]\r\n";
    for (int i = 0; i < kEntries; ++i)
        text += "k=" + valueOf(i) + "\r\n";
    ASSERT_LE(text.size(), SettingsFile::kMaxFileBytes);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("document.ini"));
    writeBytes(path, text);

    const SettingsFile settings(gbkPath(path));
    ASSERT_EQ(settings.countEntries("L"), kEntries);
    int wrong = 0;
    for (int i = 0; i < kEntries; ++i)
        wrong += settings.entryValue("L", i) != valueOf(i);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(settings.entryName("L", kEntries - 1), "k");
    EXPECT_EQ(settings.entryValue("L", kEntries), "");
}

TEST(SettingsFileGbk, StrayLeadByteDoesNotSwallowTheLineEnd)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("document.ini"));
    writeBytes(path, "[A]\r\nk=ab\xB7\r\nnext=1\r\n");
    const SettingsFile settings(gbkPath(path));
    EXPECT_EQ(settings.getString("A", "k"), "ab\xB7");
    EXPECT_EQ(settings.getString("A", "next"), "1");
}

} // namespace
