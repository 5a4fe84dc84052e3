#pragma once

#include "db/DocumentRecord.h"
#include "desk/DeskNotice.h"
#include "platform/Gbk.h"

#include <optional>
#include <vector>

namespace regdesk {

class SettingsFile;

struct CalendarDate
{
    int year = 0;
    int month = 0;
    int day = 0;
};

// The form's fields as the confirmation reads them.
struct OutgoingFields
{
    GbkString number;          // 发文号 combo
    GbkString title;           // 标题
    GbkString secrecy;         // 密级 combo
    GbkString issuingUnit;     // 发文单位
    GbkString kind;            // 公文种类
    GbkString recipient;       // 主送单位 combo
    GbkString codeUnit;        // 制码单位
    GbkString urgency;         // 紧急程度 combo
    GbkString codeNumber;      // 条码编号
    GbkString level;           // 发布层次
    GbkString writer;          // 拟稿人
    GbkString version;         // 版本 label
    CalendarDate documentDate; // 成文时期
    CalendarDate codeDate;     // 制码日期
    GbkString lastTitle;       // static 1297: title under the last issued number
};

struct ConfirmationResult
{
    std::vector<DeskNotice> notices;   // every message, warnings included, in order
    std::optional<DocumentRecord> row; // the new list row when all checks pass
};

namespace FormValidation {

// The document kinds of the settings (list 发文种类, first 30 entries).
std::vector<GbkString> documentKinds(const SettingsFile& settings);

// The kind the title ends with; nullopt when the title does not end with one
// of the kinds after its first byte. Matches are searched byte by byte.
std::optional<GbkString> kindOfTitle(const GbkString& title, const std::vector<GbkString>& kinds);

// "标题错误!" / "文种错误".
DeskNotice titleErrorNotice();

// Eight digits: the year, then month and day with two digits each.
GbkString formatDate(const CalendarDate& date);

// The checks of 发文信息确认, in their order.
ConfirmationResult confirm(const OutgoingFields& fields, bool listHasRow);

// The list row made of the fields (columns 0..13; the rest empty).
DocumentRecord makeListRow(const OutgoingFields& fields);

} // namespace FormValidation
} // namespace regdesk
