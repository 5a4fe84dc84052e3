#pragma once

#include "db/DocumentRecord.h"
#include "desk/FormRecord.h"
#include "platform/Gbk.h"

#include <string_view>
#include <vector>

namespace regdesk {

class SettingsFile;

// The registration form's decisions, kept apart from its widgets so that they
// can be checked without a screen.
namespace RegistrationFormLogic {

// The document-number box offers at most this many prefixes.
constexpr int kMaxNumberPrefixes = 10;

// Each value of the list `发文型式` followed by "〔year〕", the first ten only.
std::vector<GbkString> numberPrefixes(const SettingsFile& settings, int year);

// The values of the list `主送单位` (the form adds one empty item after them).
std::vector<GbkString> recipientUnits(const SettingsFile& settings);

// What the form fills in when it switches to outgoing registration.
struct OutgoingDefaults
{
    GbkString codeUnit;    // 发文设置/制码单位
    GbkString issuingUnit; // 发文设置/发文单位
    GbkString title;       // 发文设置/标题
};
OutgoingDefaults outgoingDefaults(const SettingsFile& settings);

// Text pasted into a plain field: trimmed at both ends, then without any
// blank, full-width blank (GBK A1A1), CR or LF. The full-width blank is only
// matched on character boundaries, so a trail byte A1 followed by a lead A1
// of the next character is left alone.
GbkString cleanPastedText(std::string_view text);

// What the drafter field (1257) puts into 备注: "拟稿人：" and the name, or
// nothing when no name is given.
GbkString remarksOfDrafter(const GbkString& name);

// The window title that shows the mode: "收文登记" or "发文登记".
GbkString modeTitle(RegistrationMode mode);
// The caption of the mode button names the mode it switches to.
GbkString modeButtonCaption(RegistrationMode mode);
RegistrationMode otherMode(RegistrationMode mode);
// Rows still in the list are only dropped after the clerk agrees.
inline bool switchNeedsConfirmation(int pendingRows)
{
    return pendingRows > 0;
}

// The registration list's columns: 0..13 the metadata fields, 14 条码已打,
// 15 自定义排序, 16 文件位置.
constexpr int kListColumns = 17;
constexpr int kBarcodeMadeColumn = 14;
constexpr int kSortKeyColumn = 15;
constexpr int kAttachmentColumn = 16;
GbkString listHeaderString();
GbkString listWidthString();
// The compact add-in form's list gives 主送 a narrower column.
GbkString compactListWidthString();

std::vector<GbkString> toListRow(const DocumentRecord& record, const GbkString& sortKey = {});
DocumentRecord fromListRow(const std::vector<GbkString>& row);

} // namespace RegistrationFormLogic
} // namespace regdesk
