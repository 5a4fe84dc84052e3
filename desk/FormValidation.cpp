#include "desk/FormValidation.h"

#include "settings/SettingsFile.h"
#include "settings/SettingsKeys.h"

#include <algorithm>
#include <string>

namespace regdesk {
namespace {

std::string twoDigits(int value)
{
    std::string text = std::to_string(value);
    if (value <= 9)
        text.insert(text.begin(), '0');
    return text;
}

DeskNotice missing(const char* utf8Text)
{
    return {utf8ToGbk(utf8Text), "缺乏必要内容"_gbk};
}

} // namespace

namespace FormValidation {

std::vector<GbkString> documentKinds(const SettingsFile& settings)
{
    const GbkString section = utf8ToGbk(SettingsKeys::kDocumentKindList);
    const int count = std::min(settings.countEntries(section), 30);
    std::vector<GbkString> kinds;
    for (int i = 0; i < count; ++i)
        kinds.push_back(settings.entryValue(section, i));
    return kinds;
}

std::optional<GbkString> kindOfTitle(const GbkString& title, const std::vector<GbkString>& kinds)
{
    std::size_t end = 0;
    const GbkString* chosen = nullptr;
    for (const GbkString& kind : kinds) {
        if (kind.empty())
            continue; // an empty entry would match at every position
        const std::size_t p = title.rfind(kind);
        if (p != GbkString::npos && p > 0 && p >= end) {
            chosen = &kind;
            end = p + kind.size();
        }
    }
    if (chosen == nullptr || end != title.size())
        return std::nullopt;
    return *chosen;
}

DeskNotice titleErrorNotice()
{
    return {"标题错误!"_gbk, "文种错误"_gbk};
}

GbkString formatDate(const CalendarDate& date)
{
    return std::to_string(date.year) + twoDigits(date.month) + twoDigits(date.day);
}

ConfirmationResult confirm(const FormRecord& form, bool listHasRow)
{
    ConfirmationResult result;
    auto stop = [&result](DeskNotice notice) {
        result.notices.push_back(std::move(notice));
        return result;
    };
    const DocumentRecord& fields = form.document;
    const GbkString& secrecy = fields[DocumentRecord::Secrecy];
    const GbkString& title = fields[DocumentRecord::Title];
    const GbkString& kind = fields[DocumentRecord::Kind];

    if (listHasRow)
        return stop({"现有登记未完成"_gbk, "表内内容未保存"_gbk});
    if (fields[DocumentRecord::Number].empty())
        return stop(missing("发文号不得为空"));
    if (!containsGbk(secrecy, "绝"_gbk)) {
        if (title.empty())
            result.notices.push_back({"标题为空？"_gbk, "缺乏主要内容"_gbk});
        if (title == form.lastTitle)
            return stop({"无法重复发号！"_gbk, "标题重复"_gbk});
    } else if (!title.empty()) {
        return stop({"标题不得显示！"_gbk, "绝密"_gbk});
    }
    if (fields[DocumentRecord::IssuingUnit].empty())
        return stop(missing("发文单位不得为空"));
    if ((kind == "请示"_gbk || kind == "报告"_gbk) && containsGbk(fields[DocumentRecord::Recipient], "各"_gbk))
        result.notices.push_back(missing("主送单位可能错误"));
    if (fields[DocumentRecord::CodeUnit].empty())
        return stop(missing("制码单位不得为空"));
    if (secrecy.empty())
        return stop(missing("密级不得为空"));
    if (fields[DocumentRecord::Urgency].empty())
        return stop(missing("紧急程度不得为空"));
    if (fields[DocumentRecord::CodeNumber].empty())
        return stop(missing("编码号不得为空"));

    result.row = DocumentRecord{fields.fields, {}, {}};
    return result;
}

} // namespace FormValidation
} // namespace regdesk
