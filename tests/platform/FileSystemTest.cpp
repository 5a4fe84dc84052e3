// The desk's file writes and bounded reads, against what may stand at a name.
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>

using namespace regdesk;

namespace {

class ReplaceFile : public ::testing::Test
{
protected:
    GbkString gbk(const QString& name) const { return utf8ToGbk(m_dir.filePath(name).toStdString()); }
    static QByteArray contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    // Entries of the folder, hidden ones included (a left-over temporary file).
    QStringList entries() const
    {
        return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    QTemporaryDir m_dir;
};

TEST_F(ReplaceFile, LinkAtTheNameIsReplacedAndItsTargetKept)
{
    const QString victim = m_dir.filePath(QStringLiteral("victim"));
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("precious");
    file.close();
    const QString name = m_dir.filePath(QStringLiteral("TxtTemp.txt"));
    ASSERT_TRUE(QFile::link(victim, name));

    EXPECT_EQ(replaceFile(gbk(QStringLiteral("TxtTemp.txt")), "payload\r\n"), 0);
    EXPECT_EQ(contents(victim), QByteArray("precious"));
    EXPECT_FALSE(QFileInfo(name).isSymLink());
    EXPECT_EQ(contents(name), QByteArray("payload\r\n"));
    EXPECT_EQ(entries().size(), 2);
}

TEST_F(ReplaceFile, DanglingLinkCreatesNothingAtItsTarget)
{
    const QString target = m_dir.filePath(QStringLiteral("elsewhere"));
    ASSERT_TRUE(QFile::link(target, m_dir.filePath(QStringLiteral("tempicpos.txt"))));
    EXPECT_EQ(replaceFile(gbk(QStringLiteral("tempicpos.txt")), "x"), 0);
    EXPECT_FALSE(QFile::exists(target));
}

TEST_F(ReplaceFile, FolderAtTheNameFailsAndLeavesNoTemporaryFile)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("TxtTemp.txt")));
    EXPECT_EQ(replaceFile(gbk(QStringLiteral("TxtTemp.txt")), "payload"), EISDIR);
    EXPECT_EQ(entries(), QStringList{QStringLiteral("TxtTemp.txt")});
}

TEST_F(ReplaceFile, MissingFolderFails)
{
    EXPECT_EQ(replaceFile(gbk(QStringLiteral("missing/file")), "x"), ENOENT);
}

TEST(ReadRegularFile, GivesTheBytesUpToTheLimitAndNothingBeyond)
{
    QTemporaryDir dir;
    const GbkString path = utf8ToGbk(dir.filePath(QStringLiteral("f")).toStdString());
    ASSERT_TRUE(writeWholeFile(path, std::string("\0ab", 3)));
    EXPECT_EQ(readRegularFile(path, 3), std::string("\0ab", 3));
    EXPECT_EQ(readRegularFile(path, 2), std::nullopt);
    EXPECT_EQ(readRegularFile(utf8ToGbk(dir.path().toStdString()), 100), std::nullopt);
}

} // namespace
