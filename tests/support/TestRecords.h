#pragma once

#include "db/DocumentRecord.h"
#include "platform/Gbk.h"

#include <algorithm>
#include <iterator>
#include <string>

namespace regdesk::test {

// A row with a number, a title and a code date; barcoded unless told otherwise.
inline DocumentRecord registerRow(const GbkString& number, const GbkString& title = "标题"_gbk,
                                  const GbkString& codeDate = "20260105", const GbkString& barcodeMade = "是"_gbk)
{
    DocumentRecord row;
    row[DocumentRecord::Number] = number;
    row[DocumentRecord::Title] = title;
    row[DocumentRecord::CodeDate] = codeDate;
    row.barcodeMade = barcodeMade;
    return row;
}

// A row as the outgoing side would confirm it, every field filled.
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

// A bitmap as small as the encoder could write: 1 x 1 pixel, 1 bit.
inline std::string encoderBitmap()
{
    std::string bmp(66, '\0');
    const unsigned char header[] = {'B', 'M', 66, 0, 0, 0, 0, 0, 0, 0, 62, 0, 0, 0, 40, 0, 0, 0, 1,
                                    0,   0,   0,  1, 0, 0, 0, 1, 0, 1, 0,  0, 0, 0, 0,  4, 0, 0, 0};
    std::copy(std::begin(header), std::end(header), bmp.begin());
    return bmp;
}

} // namespace regdesk::test
