// regdesk-intake run as a program against the desk's socket (an IntakeServer
// of this test standing in for the desk).
#include "desk/IntakeServer.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace regdesk;

namespace {

// Runs regdesk-intake with the desk folder `folder`, the event loop turning meanwhile.
int runIntake(const QString& folder, const QStringList& arguments)
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("REGDESK_FOLDER"), folder);
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(folder);
    QEventLoop loop;
    QObject::connect(&program, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    program.start(QStringLiteral(REGDESK_INTAKE_PROGRAM), arguments);
    if (program.waitForStarted())
        loop.exec();
    return program.state() == QProcess::NotRunning && program.exitStatus() == QProcess::NormalExit ? program.exitCode()
                                                                                                   : -1;
}

class RegdeskIntake : public ::testing::Test
{
protected:
    QStringList m_taken;
    IntakeServer m_server{[this](const QStringList& paths) { m_taken += paths; }};
    QTemporaryDir m_folder;
};

TEST_F(RegdeskIntake, HandsTheFilesToTheDeskOfItsFolder)
{
    ASSERT_TRUE(m_server.listen(m_folder.path())) << m_server.errorString().toStdString();
    struct stat info
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(m_server.socketPath()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    QFile(m_folder.filePath(QStringLiteral("来文.pdf"))).open(QIODevice::WriteOnly);
    EXPECT_EQ(runIntake(m_folder.path(), {QStringLiteral("来文.pdf"), QStringLiteral("gone.pdf")}), 0);
    QEventLoop().processEvents(); // the files are taken after the answer
    EXPECT_EQ(m_taken, QStringList{QDir(m_folder.path()).filePath(QStringLiteral("来文.pdf"))});

    EXPECT_EQ(runIntake(m_folder.path(), {QStringLiteral("gone.pdf")}), 66);
    EXPECT_EQ(runIntake(m_folder.path(), {}), 64);
}

TEST_F(RegdeskIntake, OneDeskListensAndAStaleSocketIsReplaced)
{
    ASSERT_TRUE(m_server.listen(m_folder.path()));
    IntakeServer second([](const QStringList&) {});
    EXPECT_FALSE(second.listen(m_folder.path()));
    EXPECT_TRUE(second.errorString().startsWith(QStringLiteral("another desk")));

    // A socket whose desk has gone (bound, never listened on, left behind).
    QTemporaryDir other;
    const QByteArray stale =
        QFile::encodeName(QDir(other.path()).filePath(QString::fromLatin1(IntakeServer::kSocketName)));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, stale.constData(), static_cast<std::size_t>(stale.size()) + 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    IntakeServer third([](const QStringList&) {});
    EXPECT_TRUE(third.listen(other.path())) << third.errorString().toStdString();
}

TEST_F(RegdeskIntake, TakesOnlyAWholeRequestOfAbsolutePaths)
{
    bool complete = false;
    EXPECT_EQ(IntakeServer::pathsOfRequest("/a/b.pdf\n", complete), QStringList{});
    EXPECT_FALSE(complete);
    EXPECT_EQ(IntakeServer::pathsOfRequest("/a/b.pdf\nrelative.pdf\n/c/../d.jpg\n\n", complete),
              (QStringList{QStringLiteral("/a/b.pdf"), QStringLiteral("/d.jpg")}));
    EXPECT_TRUE(complete);

    // A request that never ends is dropped at its limit.
    ASSERT_TRUE(m_server.listen(m_folder.path()));
    QLocalSocket client;
    client.connectToServer(m_server.socketPath());
    ASSERT_TRUE(client.waitForConnected(5000));
    client.write(QByteArray(IntakeServer::kMaxRequestBytes + 10, '/'));
    QEventLoop loop;
    QObject::connect(&client, &QLocalSocket::disconnected, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(client.state(), QLocalSocket::UnconnectedState);
    EXPECT_TRUE(m_taken.isEmpty());
}

} // namespace
