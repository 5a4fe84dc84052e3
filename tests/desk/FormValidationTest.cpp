#include "desk/FormValidation.h"

#include <gtest/gtest.h>

namespace regdesk::test {
namespace {

using namespace FormValidation;

struct KindCase
{
    const char* name;
    const char* title;
    std::vector<const char*> kinds;
    std::optional<const char*> expected;
};

class TitleCheck : public ::testing::TestWithParam<KindCase>
{
};

TEST_P(TitleCheck, FindsTheKindAtTheEnd)
{
    const KindCase& c = GetParam();
    std::vector<GbkString> kinds;
    for (const char* kind : c.kinds)
        kinds.push_back(utf8ToGbk(kind));
    const std::optional<GbkString> found = kindOfTitle(utf8ToGbk(c.title), kinds);
    if (c.expected)
        EXPECT_EQ(found, utf8ToGbk(*c.expected));
    else
        EXPECT_EQ(found, std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Titles, TitleCheck,
    ::testing::Values(KindCase{"EndsWithKind", "关于年终考核的通知", {"通知", "决定"}, "通知"},
                      KindCase{"SecondKindMatches", "关于表彰的决定", {"通知", "决定"}, "决定"},
                      KindCase{"KindAloneRefused", "通知", {"通知"}, std::nullopt},
                      KindCase{"KindOnlyInMiddle", "通知发放的安排", {"通知"}, std::nullopt},
                      KindCase{"LastOccurrenceCounts", "通知的补充通知", {"通知"}, "通知"},
                      // An earlier match reaching the end stays chosen over a longer later kind.
                      KindCase{"ShortTailListedFirstWins", "关于工作的请示报告", {"告", "报告"}, "告"},
                      KindCase{"LongerListedFirstThenTail", "关于工作的请示报告", {"报告", "告"}, "报告"},
                      KindCase{"LaterKindStartingBeforeEndIgnored", "关于通知决定", {"决定", "通知"}, "决定"},
                      KindCase{"NoKinds", "关于年终考核的通知", {}, std::nullopt},
                      KindCase{"EmptyKindIgnored", "关于年终考核的通知", {"", "通知"}, "通知"}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST(TitleCheck, ErrorMessage)
{
    EXPECT_EQ(titleErrorNotice(), (DeskNotice{"标题错误!"_gbk, "文种错误"_gbk}));
}

TEST(DateText, YearThenTwoDigitMonthAndDay)
{
    EXPECT_EQ(formatDate({2026, 3, 5}), "20260305");
    EXPECT_EQ(formatDate({2026, 12, 31}), "20261231");
    EXPECT_EQ(formatDate({2026, 10, 9}), "20261009");
    EXPECT_EQ(formatDate({999, 1, 1}), "9990101");
}

using F = DocumentRecord;

FormRecord completeFields()
{
    FormRecord f;
    f.document[F::Number] = "法〔2026〕1号"_gbk;
    f.document[F::Title] = "关于开庭的通知"_gbk;
    f.document[F::Secrecy] = "无"_gbk;
    f.document[F::IssuingUnit] = "某某法院"_gbk;
    f.document[F::Kind] = "通知"_gbk;
    f.document[F::Recipient] = "各庭室"_gbk;
    f.document[F::CodeUnit] = "某某法院办公室"_gbk;
    f.document[F::Urgency] = "无"_gbk;
    f.document[F::CodeNumber] = "FY260001";
    f.document[F::Level] = "公开"_gbk;
    f.document[F::Remarks] = "拟稿人：张三"_gbk;
    f.document[F::Version] = "GB0626-2005";
    f.document[F::DocumentDate] = "20260305";
    f.document[F::CodeDate] = "20260312";
    f.lastTitle = "上一份的标题"_gbk;
    return f;
}

struct ConfirmCase
{
    const char* name;
    std::function<void(FormRecord&)> change;
    bool listHasRow;
    std::vector<std::pair<const char*, const char*>> notices; // text, caption
    bool accepted;
};

class ConfirmationCheck : public ::testing::TestWithParam<ConfirmCase>
{
};

TEST_P(ConfirmationCheck, StopsAndWarnsInOrder)
{
    const ConfirmCase& c = GetParam();
    FormRecord fields = completeFields();
    if (c.change)
        c.change(fields);
    const ConfirmationResult result = confirm(fields, c.listHasRow);
    std::vector<std::pair<std::string, std::string>> shown;
    for (const DeskNotice& notice : result.notices) {
        shown.emplace_back(gbkToUtf8(notice.text), gbkToUtf8(notice.caption));
        EXPECT_EQ(notice.kind, DeskNotice::Kind::Message);
    }
    EXPECT_EQ(shown, (std::vector<std::pair<std::string, std::string>>(c.notices.begin(), c.notices.end())));
    EXPECT_EQ(result.row.has_value(), c.accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ConfirmationCheck,
    ::testing::Values(ConfirmCase{"AllFilled", {}, false, {}, true},
                      ConfirmCase{"RowPending", {}, true, {{"现有登记未完成", "表内内容未保存"}}, false},
                      ConfirmCase{"RowPendingBeforeEmptyNumber",
                                  [](auto& f) { f.document[F::Number].clear(); },
                                  true,
                                  {{"现有登记未完成", "表内内容未保存"}},
                                  false},
                      ConfirmCase{"NumberEmpty",
                                  [](auto& f) { f.document[F::Number].clear(); },
                                  false,
                                  {{"发文号不得为空", "缺乏必要内容"}},
                                  false},
                      ConfirmCase{"TitleEmptyWarnsThenPasses",
                                  [](auto& f) { f.document[F::Title].clear(); },
                                  false,
                                  {{"标题为空？", "缺乏主要内容"}},
                                  true},
                      ConfirmCase{"TitleEmptyAndNoLastTitleStops",
                                  [](auto& f) {
                                      f.document[F::Title].clear();
                                      f.lastTitle.clear();
                                  },
                                  false,
                                  {{"标题为空？", "缺乏主要内容"}, {"无法重复发号！", "标题重复"}},
                                  false},
                      ConfirmCase{"TitleRepeatsLastTitle",
                                  [](auto& f) { f.document[F::Title] = f.lastTitle; },
                                  false,
                                  {{"无法重复发号！", "标题重复"}},
                                  false},
                      ConfirmCase{"TopSecretWithTitle",
                                  [](auto& f) { f.document[F::Secrecy] = "绝密"_gbk; },
                                  false,
                                  {{"标题不得显示！", "绝密"}},
                                  false},
                      ConfirmCase{"TopSecretWithoutTitle",
                                  [](auto& f) {
                                      f.document[F::Secrecy] = "绝密"_gbk;
                                      f.document[F::Title].clear();
                                      f.lastTitle.clear();
                                  },
                                  false,
                                  {},
                                  true},
                      ConfirmCase{"IssuingUnitEmpty",
                                  [](auto& f) { f.document[F::IssuingUnit].clear(); },
                                  false,
                                  {{"发文单位不得为空", "缺乏必要内容"}},
                                  false},
                      ConfirmCase{"RequestToEveryoneWarns",
                                  [](auto& f) { f.document[F::Kind] = "请示"_gbk; },
                                  false,
                                  {{"主送单位可能错误", "缺乏必要内容"}},
                                  true},
                      ConfirmCase{"ReportToEveryoneWarns",
                                  [](auto& f) { f.document[F::Kind] = "报告"_gbk; },
                                  false,
                                  {{"主送单位可能错误", "缺乏必要内容"}},
                                  true},
                      ConfirmCase{"RequestToOneUnitQuiet",
                                  [](auto& f) {
                                      f.document[F::Kind] = "请示"_gbk;
                                      f.document[F::Recipient] = "上级法院"_gbk;
                                  },
                                  false,
                                  {},
                                  true},
                      ConfirmCase{"WarningThenCodeUnitEmpty",
                                  [](auto& f) {
                                      f.document[F::Kind] = "请示"_gbk;
                                      f.document[F::CodeUnit].clear();
                                  },
                                  false,
                                  {{"主送单位可能错误", "缺乏必要内容"}, {"制码单位不得为空", "缺乏必要内容"}},
                                  false},
                      ConfirmCase{"SecrecyEmpty",
                                  [](auto& f) { f.document[F::Secrecy].clear(); },
                                  false,
                                  {{"密级不得为空", "缺乏必要内容"}},
                                  false},
                      ConfirmCase{"UrgencyEmpty",
                                  [](auto& f) { f.document[F::Urgency].clear(); },
                                  false,
                                  {{"紧急程度不得为空", "缺乏必要内容"}},
                                  false},
                      ConfirmCase{"CodeNumberEmpty",
                                  [](auto& f) { f.document[F::CodeNumber].clear(); },
                                  false,
                                  {{"编码号不得为空", "缺乏必要内容"}},
                                  false},
                      ConfirmCase{"IssuingUnitCheckedBeforeCodeUnit",
                                  [](auto& f) {
                                      f.document[F::IssuingUnit].clear();
                                      f.document[F::CodeUnit].clear();
                                  },
                                  false,
                                  {{"发文单位不得为空", "缺乏必要内容"}},
                                  false}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST(ConfirmedRow, IsTheFormsDocumentWithoutBarcodeOrFile)
{
    FormRecord form = completeFields();
    form.document.barcodeMade = "是"_gbk;
    form.document.attachmentPath = "/tmp/a.doc";
    const ConfirmationResult result = confirm(form, false);
    ASSERT_TRUE(result.row);
    EXPECT_EQ(result.row->fields, form.document.fields);
    EXPECT_TRUE(result.row->barcodeMade.empty());
    EXPECT_TRUE(result.row->attachmentPath.empty());
}

} // namespace
} // namespace regdesk::test
