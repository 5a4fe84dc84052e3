// The library's own reads and writes, against what may stand at a name.
#include "FileIo.h"

#include "ProfileReader.h"
#include "support/TempFolder.h"

#include <fcntl.h>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lattix {
namespace {

using test::TempFolder;

TEST(ProfileReader, FifoAndZeroDeviceGiveTheDefaultsWithoutBlocking)
{
    TempFolder folder;
    const std::string path = folder.file("MakeBarCode.ini");
    const auto colsWithin20Seconds = [&] {
        auto reading =
            std::async(std::launch::async, [&] { return ProfileReader::fromFile(path).getInt("PDF", "Cols", -1); });
        if (reading.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            ADD_FAILURE() << "reading blocked";
            ::close(::open(path.c_str(), O_WRONLY | O_NONBLOCK)); // a writer frees a reader blocked on a FIFO
        }
        return reading.get();
    };
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(colsWithin20Seconds(), -1);
    std::filesystem::remove(path);
    std::filesystem::create_symlink("/dev/zero", path);
    EXPECT_EQ(colsWithin20Seconds(), -1);
}

TEST(WriteWholeFile, LinkAtTheNameIsReplacedAndItsTargetKept)
{
    TempFolder folder;
    test::writeText(folder.file("victim"), "precious");
    // The scan reader joins its folder text and the file name directly.
    const std::string name = folder.file("scan_temp.txt");
    std::filesystem::create_symlink(folder.file("victim"), name);
    ASSERT_TRUE(writeWholeFile(name, Bytes{'A', 'B', 'C'}));
    EXPECT_EQ(test::readBytes(folder.file("victim")), (Bytes{'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'}));
    EXPECT_EQ(test::readBytes(name), (Bytes{'A', 'B', 'C'}));
    EXPECT_FALSE(std::filesystem::is_symlink(name));
}

} // namespace
} // namespace lattix
