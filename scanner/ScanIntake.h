#pragma once

#include "platform/Gbk.h"

#include <QDate>
#include <functional>

class QWidget;

namespace regdesk {

class CMSComm;
class IncomingList;
class IncomingRegister;
class Prompter;
class ReceiveText;

// Turns a completed scan into a row of the registration list: splits the
// receive text, asks when the number was scanned or registered before, and
// flushes the port whatever the clerk answers.
class ScanIntake
{
public:
    // `documentDate` reads the form's 成文时期 date, which goes into the remarks.
    ScanIntake(ReceiveText& receiveText, CMSComm& port, Prompter& prompter, QWidget* owner, IncomingList& list,
               IncomingRegister& register_, std::function<QDate()> documentDate);

    // Handles one scan-complete event. True when a row was appended.
    bool takeScan();

private:
    bool confirm(const QString& format, const GbkString& number);

    ReceiveText& m_receiveText;
    CMSComm& m_port;
    Prompter& m_prompter;
    QWidget* m_owner;
    IncomingList& m_list;
    IncomingRegister& m_register;
    std::function<QDate()> m_documentDate;
};

} // namespace regdesk
