#include "desk/IntakeServer.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QTimer>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace regdesk {
namespace {

// Whether the process at the other end runs as this desk's user.
bool peerIsThisUser(qintptr descriptor)
{
    ucred peer{};
    socklen_t length = sizeof peer;
    if (::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 ||
        length != sizeof peer)
        return false;
    return peer.uid == ::geteuid();
}

// A socket another desk of this folder still answers on.
bool answered(const QString& path)
{
    QLocalSocket probe;
    probe.connectToServer(path);
    const bool live = probe.waitForConnected(1000);
    probe.abort();
    return live;
}

} // namespace

IntakeServer::IntakeServer(std::function<void(const QStringList&)> takeFiles) : m_takeFiles(std::move(takeFiles))
{
    // Made in a private place and moved into the folder: never open to others meanwhile.
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    m_server.setMaxPendingConnections(8);
    connect(&m_server, &QLocalServer::newConnection, this, &IntakeServer::acceptConnections);
}

bool IntakeServer::listen(const QString& folder)
{
    const QString path = QDir(folder).filePath(QString::fromLatin1(kSocketName));
    const QByteArray native = QFile::encodeName(path);
    struct stat info
    {
    };
    if (::lstat(native.constData(), &info) == 0) {
        // Only our own socket is taken over, and only when nobody answers on it.
        if (!S_ISSOCK(info.st_mode) || info.st_uid != ::geteuid()) {
            m_error = QStringLiteral("%1 is not this user's socket").arg(path);
            return false;
        }
        if (answered(path)) {
            m_error = QStringLiteral("another desk takes files at %1").arg(path);
            return false;
        }
        ::unlink(native.constData());
    }
    if (!m_server.listen(path)) {
        m_error = m_server.errorString();
        return false;
    }
    ::chmod(native.constData(), S_IRUSR | S_IWUSR);
    return true;
}

QStringList IntakeServer::pathsOfRequest(const QByteArray& request, bool& complete)
{
    const qsizetype end = request.indexOf("\n\n");
    complete = end >= 0 || request == "\n";
    QStringList paths;
    if (!complete)
        return paths;
    for (const QByteArray& line : request.left(end).split('\n')) {
        const QString path = QString::fromUtf8(line);
        if (!line.isEmpty() && QDir::isAbsolutePath(path))
            paths.append(QDir::cleanPath(path));
    }
    return paths;
}

void IntakeServer::acceptConnections()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!peerIsThisUser(socket->socketDescriptor())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto* timeout = new QTimer(socket);
        timeout->setSingleShot(true);
        connect(timeout, &QTimer::timeout, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        timeout->start(kRequestTimeoutMs);
        auto request = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket, request] {
            request->append(socket->read(kMaxRequestBytes + 1 - request->size()));
            bool complete = false;
            const QStringList paths = pathsOfRequest(*request, complete);
            if (!complete) {
                if (request->size() > kMaxRequestBytes) {
                    socket->abort();
                    socket->deleteLater();
                }
                return;
            }
            socket->write("ok\n");
            socket->disconnectFromServer();
            // Read after the caller has its answer: it is not kept waiting on the files.
            if (!paths.isEmpty())
                QMetaObject::invokeMethod(
                    this, [this, paths] { m_takeFiles(paths); }, Qt::QueuedConnection);
        });
    }
}

} // namespace regdesk
