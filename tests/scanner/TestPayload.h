#pragma once

#include "db/DocumentRecord.h"
#include "platform/Gbk.h"

namespace regdesk::test {

// A row as the outgoing side would confirm it.
inline DocumentRecord sampleOutgoingRow(const GbkString& number)
{
    DocumentRecord row;
    row[DocumentRecord::Number] = number;
    row[DocumentRecord::Title] = "关于做好年终工作的通知"_gbk;
    row[DocumentRecord::Secrecy] = "秘密"_gbk;
    row[DocumentRecord::Kind] = "通知"_gbk;
    row[DocumentRecord::Recipient] = "各区县法院"_gbk;
    row[DocumentRecord::Level] = "公开"_gbk;
    row[DocumentRecord::IssuingUnit] = "市中级人民法院"_gbk;
    row[DocumentRecord::Urgency] = "加急"_gbk;
    row[DocumentRecord::DocumentDate] = "20240305";
    row[DocumentRecord::CodeNumber] = "0001";
    row[DocumentRecord::CodeUnit] = "办公室"_gbk;
    row[DocumentRecord::CodeDate] = "20240312";
    row[DocumentRecord::Version] = "GB0626-2005";
    return row;
}

} // namespace regdesk::test
