#pragma once

#include "platform/Gbk.h"

#include <array>

namespace regdesk {

// One register row, all fields GBK text. The fourteen metadata fields stand in
// the registers' column order; a registration list row holds them in columns
// 0..13, then 条码已打 (14), the custom sort key (15) and the attachment path (16).
struct DocumentRecord
{
    enum Field
    {
        Number,         // 发文号
        Title,          // 标题
        Secrecy,        // 密级
        Kind,           // 文种
        Recipient,      // 主送
        Level,          // 发布层次
        IssuingUnit,    // 发文单位
        Urgency,        // 紧急程度
        DocumentDate,   // 成文日期
        CodeNumber,     // 制码号
        CodeUnit,       // 制码单位
        CodeDate,       // 制码时间
        Version,        // 版本
        Remarks,        // 备注
        MetadataFields, // count of the fields above
    };

    std::array<GbkString, MetadataFields> fields;
    GbkString barcodeMade;    // 条码已打: "是" or empty
    GbkString attachmentPath; // file to attach, empty when none

    GbkString& operator[](Field field) { return fields[field]; }
    const GbkString& operator[](Field field) const { return fields[field]; }
};

} // namespace regdesk
