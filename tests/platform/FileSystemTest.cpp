#include "platform/FileSystem.h"

#include "platform/UniqueFd.h"

#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace regdesk::test {
namespace {

// What stands at the name the reader is given.
enum class AtTheName
{
    SmallFile,   // 4 bytes
    LargeFile,   // 12 bytes, over the limit of 8
    LinkToSmall, // a symbolic link to the small file
    Fifo,        // no writer: opening must not wait for one
    Folder,
    Nothing,
};

struct ReadCase
{
    const char* name;
    AtTheName at;
    FileLinks links;
    OversizeFile oversize;
    std::optional<std::string> expected;
};

class RegularFileReads : public ::testing::TestWithParam<ReadCase>
{
protected:
    std::string prepare(AtTheName at) const
    {
        const std::string folder = m_folder.path().toStdString();
        std::ofstream(folder + "/small") << "abcd";
        std::ofstream(folder + "/large") << "abcdefghijkl";
        const std::string path = folder + "/name";
        switch (at) {
        case AtTheName::SmallFile:
            std::ofstream(path) << "abcd";
            break;
        case AtTheName::LargeFile:
            std::ofstream(path) << "abcdefghijkl";
            break;
        case AtTheName::LinkToSmall:
            EXPECT_EQ(::symlink((folder + "/small").c_str(), path.c_str()), 0);
            break;
        case AtTheName::Fifo:
            EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
            break;
        case AtTheName::Folder:
            EXPECT_EQ(::mkdir(path.c_str(), 0700), 0);
            break;
        case AtTheName::Nothing:
            break;
        }
        return path;
    }

    QTemporaryDir m_folder;
};

TEST_P(RegularFileReads, FollowThePolicyGiven)
{
    const ReadCase& c = GetParam();
    ASSERT_TRUE(m_folder.isValid());
    const std::string path = prepare(c.at);
    EXPECT_EQ(readRegularNativeFile(path, 8, c.links, c.oversize), c.expected);
    // The GBK entry point reads the same file the same way.
    EXPECT_EQ(readRegularFile(fromNativePath(path), 8, c.links, c.oversize), c.expected);
}

constexpr auto Follow = FileLinks::Follow;
constexpr auto NoLinks = FileLinks::Refuse;
constexpr auto Refuse = OversizeFile::Refuse;
constexpr auto Cut = OversizeFile::Cut;

INSTANTIATE_TEST_SUITE_P(Policies, RegularFileReads,
                         ::testing::Values(ReadCase{"SmallFileWhole", AtTheName::SmallFile, NoLinks, Refuse, "abcd"},
                                           ReadCase{"LargeFileRefused", AtTheName::LargeFile, Follow, Refuse,
                                                    std::nullopt},
                                           ReadCase{"LargeFileCut", AtTheName::LargeFile, NoLinks, Cut, "abcdefgh"},
                                           ReadCase{"LinkFollowed", AtTheName::LinkToSmall, Follow, Refuse, "abcd"},
                                           ReadCase{"LinkRefused", AtTheName::LinkToSmall, NoLinks, Cut, std::nullopt},
                                           ReadCase{"FifoNeverWaited", AtTheName::Fifo, Follow, Cut, std::nullopt},
                                           ReadCase{"FolderRefused", AtTheName::Folder, Follow, Refuse, std::nullopt},
                                           ReadCase{"NothingThere", AtTheName::Nothing, NoLinks, Refuse, std::nullopt}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(RegularFileRead, KeepsTheDescriptorOfTheFileItRead)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string path = folder.path().toStdString() + "/sheet";
    std::ofstream(path) << "abcd";
    UniqueFd opened;
    ASSERT_EQ(readRegularNativeFile(path, 8, FileLinks::Follow, OversizeFile::Refuse, &opened), "abcd");
    ASSERT_TRUE(opened);
    // The name now stands for another file; the descriptor still reads the one judged.
    ASSERT_EQ(::unlink(path.c_str()), 0);
    std::ofstream(path) << "wxyz";
    char first = 0;
    EXPECT_EQ(::pread(opened.get(), &first, 1, 0), 1);
    EXPECT_EQ(first, 'a');
}

TEST(ReplaceFile, SyncedKeepsThePermissionsOfTheFileItReplaces)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string path = folder.path().toStdString() + "/document.ini";
    std::ofstream(path) << "old";
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(replaceFile(fromNativePath(path), "new", Durability::Synced), 0);
    EXPECT_EQ(readRegularNativeFile(path, 8), "new");
    struct stat info
    {
    };
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

} // namespace
} // namespace regdesk::test
