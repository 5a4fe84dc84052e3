#pragma once

#include "db/DocumentRecord.h"
#include "platform/Gbk.h"

namespace regdesk {

// The two modes of a registration form, which share one set of fields.
enum class RegistrationMode
{
    Incoming, // 收文登记: fields filled by the scanner, rows go to 收文登记表
    Outgoing, // 发文登记: fields typed by the clerk, rows go to 发文登记表
};

// The fields of a registration form read as one record: the register row they
// make, as the list would hold it (dates as eight digits, 备注 "拟稿人：" and
// the drafter's name), plus what the form shows beside the fields.
struct FormRecord
{
    DocumentRecord document;
    GbkString lastNumber; // 1314: last document number issued for the chosen prefix
    GbkString lastTitle;  // 1297: title registered under that number
};

} // namespace regdesk
