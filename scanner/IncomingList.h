#pragma once

#include "db/DocumentRecord.h"
#include "platform/Gbk.h"

namespace regdesk {

// What a scan needs of the form's registration list.
class IncomingList
{
public:
    virtual ~IncomingList() = default;

    virtual int rowCount() const = 0;
    // The 发文号 cell (column 0) of a row.
    virtual GbkString numberAt(int row) const = 0;
    // Adds the row at the end (columns 14 to 16 empty) and repaints the list.
    virtual void appendRecord(const DocumentRecord& record) = 0;
};

// What a scan needs of 收文登记表.
class IncomingRegister
{
public:
    virtual ~IncomingRegister() = default;

    virtual bool isRegistered(const GbkString& number) = 0;
};

// 收文登记表 on the active connection.
class SqlIncomingRegister final : public IncomingRegister
{
public:
    bool isRegistered(const GbkString& number) override;
};

} // namespace regdesk
