#pragma once

#include "platform/Gbk.h"

#include <QDate>

namespace regdesk {

// The texts of the registration form's fields, read from and written to the
// widgets in one go (RegistrationDialog::fields / setFields).
struct RegistrationFields
{
    GbkString number;      // 1242 发文字号 (发文号)
    GbkString title;       // 1238 标题
    GbkString drafter;     // 1257 拟稿人 (saved as "拟稿人：" + name in 备注)
    GbkString kind;        // 1243 公文种类 (文种)
    GbkString recipient;   // 1305 主送单位 (主送)
    GbkString issuingUnit; // 1237 发文单位
    GbkString level;       // 1241 发布层次
    GbkString urgency;     // 1304 紧急程度
    GbkString secrecy;     // 1303 密级
    GbkString codeUnit;    // 1245 制码单位
    GbkString version;     // 1022 版本
    GbkString codeNumber;  // 1099 条码编号 (制码号)
    QDate documentDate;    // 1252 成文时期 (成文日期); its year drives numbering
    QDate codeDate;        // 1253 制码日期 (制码时间)
    GbkString lastNumber;  // 1314 last document number issued for the chosen prefix
    GbkString lastTitle;   // 1297 title registered under that number
};

} // namespace regdesk
