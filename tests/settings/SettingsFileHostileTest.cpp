// document.ini as a careless administrator or an attacker may leave it.
#include "settings/SettingsFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace regdesk;

namespace {

class SettingsFileHostile : public ::testing::Test
{
protected:
    std::string path() const { return m_dir.filePath(QStringLiteral("document.ini")).toStdString(); }
    void write(const std::string& bytes) const { std::ofstream(path(), std::ios::binary) << bytes; }
    // On a thread of its own: a reader blocked in open() fails the test, and a writer then frees it.
    SettingsFile open() const
    {
        auto reading = std::async(std::launch::async, [this] { return SettingsFile(utf8ToGbk(path())); });
        if (reading.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            ADD_FAILURE() << "opening blocked";
            ::close(::open(path().c_str(), O_WRONLY | O_NONBLOCK));
        }
        return reading.get();
    }

    QTemporaryDir m_dir;
};

TEST_F(SettingsFileHostile, FifoZeroDeviceAndOversizedFileReadAsEmpty)
{
    ASSERT_EQ(::mkfifo(path().c_str(), 0600), 0);
    EXPECT_TRUE(open().sectionNames().empty()) << "FIFO";
    ::unlink(path().c_str());
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), QString::fromStdString(path())));
    EXPECT_TRUE(open().sectionNames().empty()) << "link to /dev/zero";
    ::unlink(path().c_str());
    std::string text = "[A]\r\nk=v\r\n";
    text.resize(SettingsFile::kMaxFileBytes + 1, '/');
    write(text);
    EXPECT_EQ(open().getString("A", "k"), "") << "one byte over the limit";
}

TEST_F(SettingsFileHostile, ListOf200000EntriesReadsEveryEntry)
{
    // Short entries: 200,000 of them stay within the size limit.
    const auto valueOf = [](int i) { return std::string(1, static_cast<char>('a' + i % 26)); };
    std::string text = "[L]\r\n";
    for (int i = 0; i < 200000; ++i)
        text += "k=" + valueOf(i) + "\r\n";
    write(text);
    const SettingsFile settings = open();
    ASSERT_EQ(settings.countEntries("L"), 200000);
    int wrong = 0;
    for (int i = 0; i < 200000; ++i)
        wrong += settings.entryValue("L", i) != valueOf(i);
    EXPECT_EQ(wrong, 0);
}

} // namespace
