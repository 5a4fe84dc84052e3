// The library's own file reads and writes, against what may stand at a name.
#include "FileIo.h"

#include "ProfileReader.h"
#include "support/TempFolder.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lattix {
namespace {

using test::TempFolder;

struct HostileCase
{
    const char* name;
    void (*prepare)(const std::string& path);

    friend void PrintTo(const HostileCase& row, std::ostream* out) { *out << row.name; }
};

class HostileSettingsFile : public testing::TestWithParam<HostileCase>
{
};

TEST_P(HostileSettingsFile, GivesTheDefaultsWithoutBlocking)
{
    TempFolder folder;
    const std::string path = folder.file("MakeBarCode.ini");
    GetParam().prepare(path);
    auto reading =
        std::async(std::launch::async, [&] { return ProfileReader::fromFile(path).getInt("PDF", "Cols", -1); });
    if (reading.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        ADD_FAILURE() << "reading blocked";
        ::close(::open(path.c_str(), O_WRONLY | O_NONBLOCK)); // a writer frees a reader blocked on a FIFO
    }
    EXPECT_EQ(reading.get(), -1);
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostileSettingsFile,
    testing::Values(HostileCase{"Fifo", [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }},
                    HostileCase{"LinkToTheZeroDevice",
                                [](const std::string& path) { std::filesystem::create_symlink("/dev/zero", path); }},
                    HostileCase{"OneByteOverTheLimit",
                                [](const std::string& path) {
                                    std::string text = "[PDF]\r\nCols=5\r\n";
                                    text.resize(ProfileReader::kMaxFileBytes + 1, ';');
                                    test::writeText(path, text);
                                }}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(WriteWholeFile, LinkAtTheNameIsReplacedAndItsTargetKept)
{
    TempFolder folder;
    test::writeText(folder.file("victim"), "precious");
    // The scan reader joins its folder text and the file name directly.
    const std::string name = folder.file("scan_temp.txt");
    std::filesystem::create_symlink(folder.file("victim"), name);
    const Bytes scan = {'A', 'B', 'C'};
    ASSERT_TRUE(writeWholeFile(name, scan));
    EXPECT_EQ(test::readBytes(folder.file("victim")), (Bytes{'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'}));
    EXPECT_FALSE(std::filesystem::is_symlink(name));
    EXPECT_EQ(test::readBytes(name), scan);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 2);
}

TEST(WriteWholeFile, FolderAtTheNameFailsAndLeavesNoTemporaryFile)
{
    TempFolder folder;
    std::filesystem::create_directory(folder.path() / "TempPdf.bmp");
    EXPECT_FALSE(writeWholeFile(folder.file("TempPdf.bmp"), Bytes{1}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

} // namespace
} // namespace lattix
