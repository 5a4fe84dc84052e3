#pragma once

#include "platform/Gbk.h"

#include <QDate>
#include <functional>
#include <string_view>

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
    // A payload that came some other way (the barcode of a file) goes the way
    // of a scan: the same split, questions and row. The port and its receive
    // text are left alone, so a scan arriving meanwhile is not lost.
    bool takePayload(std::string_view payload);

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
