#pragma once

#include "FakeModemLines.h"
#include "PseudoTerminal.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace regdesk::test {

// A scanner on COM1: REGDESK_COM1 names a link to a pseudo-terminal, so the
// scanner can be unplugged and plugged in again under the same name; DSR
// comes from lines(), which the port under test is given.
class SerialPortFixture
{
public:
    SerialPortFixture();
    ~SerialPortFixture();
    SerialPortFixture(const SerialPortFixture&) = delete;
    SerialPortFixture& operator=(const SerialPortFixture&) = delete;

    // False when no pseudo-terminal or link could be made.
    bool isReady() const { return m_ready; }
    // What REGDESK_COM1 names.
    QString portPath() const { return m_link; }
    const std::shared_ptr<FakeModemLines>& lines() const { return m_lines; }
    PseudoTerminal& scanner() { return *m_scanner; }
    // Bytes from the scanner.
    bool send(std::string_view bytes) { return m_scanner && m_scanner->write(bytes); }

    // The scanner goes away: its terminal closes and the name points nowhere.
    void unplug();
    // A new scanner appears under the name.
    bool plugIn();

private:
    QTemporaryDir m_folder;
    QString m_link;
    std::shared_ptr<FakeModemLines> m_lines = std::make_shared<FakeModemLines>();
    std::unique_ptr<PseudoTerminal> m_scanner;
    bool m_ready = false;
};

} // namespace regdesk::test
