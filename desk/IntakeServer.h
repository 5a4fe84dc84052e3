#pragma once

#include <QLocalServer>
#include <QObject>
#include <QStringList>
#include <functional>

namespace regdesk {

// The running desk's door for regdesk-intake: a local socket in the desk
// folder that only the desk's own user may use (socket mode 0600, and the
// peer's uid checked on every connection). A connection sends absolute file
// paths, UTF-8, one a line, and an empty line; the desk answers "ok" and
// takes the files as if they had been dropped onto the form.
class IntakeServer final : public QObject
{
    Q_OBJECT

public:
    static constexpr const char* kSocketName = "regdesk-intake.socket";
    // A request larger than this, or one not ended in time, is dropped.
    static constexpr qint64 kMaxRequestBytes = qint64{1} << 20;
    static constexpr int kRequestTimeoutMs = 10000;

    explicit IntakeServer(std::function<void(const QStringList&)> takeFiles);

    // Listens in `folder`. False, with errorString(), when another desk of
    // this folder listens there already or the socket cannot be made; a socket
    // left behind by a desk that ended is replaced.
    bool listen(const QString& folder);
    QString errorString() const { return m_error; }
    QString socketPath() const { return m_server.fullServerName(); }

    // The paths of a request, absolute ones only; `complete` stays false (and
    // the list empty) until the empty line that ends it has arrived.
    static QStringList pathsOfRequest(const QByteArray& request, bool& complete);

private:
    void acceptConnections();

    std::function<void(const QStringList&)> m_takeFiles;
    QLocalServer m_server;
    QString m_error;
};

} // namespace regdesk
