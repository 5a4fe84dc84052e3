#pragma once

#include "db/DocumentRecord.h"
#include "desk/FormRecord.h"
#include "platform/DeskNotice.h"
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

// The checks of 发文信息确认, in their order; the new row is the form's
// document, with nothing in 条码已打 and no file to attach.
ConfirmationResult confirm(const FormRecord& form, bool listHasRow);

} // namespace FormValidation
} // namespace regdesk
