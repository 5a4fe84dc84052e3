#pragma once

#include "platform/UniqueFd.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

class QSocketNotifier;

namespace regdesk {

class ModemLines;

// The desk's serial port, shaped like the serial-communications control the
// form was designed around: properties set before or after opening, received
// bytes held in the control's own buffer until `input()` takes them, and the
// OnComm event, raised on the GUI thread, with `commEvent()` saying why.
//
// The modem lines cannot signal a change on Linux, so DSR is polled. A device
// that disappears (a USB scanner pulled out) is closed at its first read error
// and counts as DSR lost; while the port stays open the device is looked for
// again at every poll, and its return counts as DSR back. A device that cannot
// be opened at all is treated the same way: the port waits for it.
class CMSComm : public QObject
{
    Q_OBJECT

public:
    enum CommEvents : short
    {
        comEvReceive = 2,
        comEvDSR = 4,
    };
    enum InputModes
    {
        comInputModeText = 0,
        comInputModeBinary = 1,
    };
    static constexpr int kModemPollInterval = 200; // ms

    explicit CMSComm(QObject* parent = nullptr);
    ~CMSComm() override;
    CMSComm(const CMSComm&) = delete;
    CMSComm& operator=(const CMSComm&) = delete;

    // COMn is the device named by the environment variable REGDESK_COMn (a
    // name without "/" lies in /dev), else /dev/ttyS(n-1).
    static QString devicePath(int commPort);

    // Replaces the source of the DSR state (by default the terminal driver).
    void setModemLines(std::shared_ptr<ModemLines> lines);

    short commPort() const { return m_commPort; }
    void setCommPort(short port) { m_commPort = port; }

    // "baud,parity,data bits,stop bits", e.g. "9600,n,8,1". An unusable text
    // is refused (false) and the previous settings stay.
    QString settings() const { return m_settings; }
    bool setSettings(const QString& settings);

    bool portOpen() const { return m_portOpen; }
    void setPortOpen(bool open);

    // Takes the buffered bytes: all of them with InputLen 0, else at most InputLen.
    QByteArray input();
    short inputLen() const { return m_inputLen; }
    void setInputLen(short length) { m_inputLen = length; }

    // OnComm with comEvReceive whenever at least this many bytes are buffered
    // after a read; 0 raises no receive events.
    short rThreshold() const { return m_rThreshold; }
    void setRThreshold(short threshold) { m_rThreshold = threshold; }

    // Both modes hand out the bytes unchanged.
    int inputMode() const { return m_inputMode; }
    void setInputMode(int mode) { m_inputMode = mode; }

    // Capacity of the receive buffer; when it is full the device is left
    // unread (the driver keeps the bytes) until `input()` makes room.
    short inBufferSize() const { return m_inBufferSize; }
    void setInBufferSize(short size);
    // Kept for completeness: the desk never sends.
    short outBufferSize() const { return m_outBufferSize; }
    void setOutBufferSize(short size) { m_outBufferSize = size; }

    // Why OnComm was last raised.
    short commEvent() const { return m_commEvent; }
    // DSR now; a driver that cannot tell counts as held, a closed or missing
    // device as not held.
    bool dsrHolding() const;

    // Diagnostics beyond the control's members.
    bool deviceOpen() const { return m_device.isValid(); }
    QString deviceName() const { return m_deviceName; }
    int inBufferCount() const { return static_cast<int>(m_inBuffer.size()); }

signals:
    void OnComm();

private:
    struct LaterDeleter
    {
        void operator()(QObject* object) const;
    };

    bool openDevice();
    void closeDevice();
    void readDevice();
    void deviceLost();
    void pollModemLines();
    bool currentDsr() const;
    void raise(short event);

    short m_commPort = 1;
    QString m_settings = QStringLiteral("9600,n,8,1");
    bool m_portOpen = false;
    short m_inputLen = 0;
    short m_rThreshold = 0;
    int m_inputMode = comInputModeText;
    short m_inBufferSize = 1024;
    short m_outBufferSize = 512;
    short m_commEvent = 0;

    QString m_deviceName;
    UniqueFd m_device;
    quint64 m_deviceGeneration = 0; // tells a reopened device from the one being read
    // The notifier may be dropped from inside its own signal: delete it later.
    std::unique_ptr<QSocketNotifier, LaterDeleter> m_notifier;
    QByteArray m_inBuffer;
    bool m_lastDsr = false;
    QTimer m_pollTimer;
    std::shared_ptr<ModemLines> m_modemLines;
};

} // namespace regdesk
