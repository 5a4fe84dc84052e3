#include "SerialPortFixture.h"

#include <QFile>

namespace regdesk::test {

namespace {

const char* const kPortVariable = "REGDESK_COM1";

} // namespace

SerialPortFixture::SerialPortFixture() : m_link(m_folder.filePath(QStringLiteral("scanner")))
{
    qputenv(kPortVariable, m_link.toLocal8Bit());
    m_ready = plugIn();
}

SerialPortFixture::~SerialPortFixture()
{
    qunsetenv(kPortVariable);
}

void SerialPortFixture::unplug()
{
    // The name goes too: a dangling link would find whatever terminal the
    // system hands out next under the same number, another test's perhaps.
    QFile::remove(m_link);
    m_scanner.reset();
}

bool SerialPortFixture::plugIn()
{
    m_scanner = std::make_unique<PseudoTerminal>();
    QFile::remove(m_link);
    return m_scanner->isOpen() && QFile::link(m_scanner->devicePath(), m_link);
}

} // namespace regdesk::test
