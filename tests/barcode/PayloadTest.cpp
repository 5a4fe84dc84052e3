#include "barcode/BarcodePayload.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace regdesk::test {
namespace {

using namespace BarcodePayload;

DocumentRecord registeredRow()
{
    DocumentRecord row;
    row[DocumentRecord::Number] = "法〔2026〕12号"_gbk;
    row[DocumentRecord::Title] = "关于开庭的通知"_gbk;
    row[DocumentRecord::Secrecy] = "秘密"_gbk;
    row[DocumentRecord::Kind] = "通知"_gbk;
    row[DocumentRecord::Recipient] = "各庭室"_gbk;
    row[DocumentRecord::Level] = "公开"_gbk;
    row[DocumentRecord::IssuingUnit] = "某某法院"_gbk;
    row[DocumentRecord::Urgency] = "加急"_gbk;
    row[DocumentRecord::DocumentDate] = "20260305";
    row[DocumentRecord::CodeNumber] = "FY260001";
    row[DocumentRecord::CodeUnit] = "某某法院办公室"_gbk;
    row[DocumentRecord::CodeDate] = "20260312";
    row[DocumentRecord::Version] = "GB0626-2005";
    row[DocumentRecord::Remarks] = "拟稿人：张三"_gbk;
    row.barcodeMade = "是"_gbk;
    row.attachmentPath = "/tmp/a.doc";
    return row;
}

TEST(Payload, FieldsInPayloadOrderThenEndMark)
{
    EXPECT_EQ(gbkToUtf8(buildPayload(registeredRow())),
              "GB0626-2005^FY260001^某某法院^通知^法〔2026〕12号^各庭室^关于开庭的通知^秘密^加急^20260305^公开^"
              "某某法院办公室^20260312^^|");
}

TEST(Payload, EmptyCellsKeepTheirSeparators)
{
    DocumentRecord row = registeredRow();
    row[DocumentRecord::Title].clear(); // a top-secret registration
    row[DocumentRecord::Level].clear();
    const GbkString payload = buildPayload(row);
    EXPECT_EQ(std::count(payload.begin(), payload.end(), '^'), 14);
    EXPECT_NE(payload.find("各庭室^^秘密"_gbk), GbkString::npos);
    EXPECT_NE(payload.find("20260305^^某某"_gbk), GbkString::npos);
    EXPECT_TRUE(payload.ends_with("^^|"));
}

TEST(Payload, EmptyRowIsFourteenSeparatorsAndBar)
{
    EXPECT_EQ(buildPayload(DocumentRecord{}), "^^^^^^^^^^^^^^|");
}

TEST(Payload, CaretInsideAValueIsWrittenUnchanged)
{
    DocumentRecord row = registeredRow();
    row[DocumentRecord::Title] = "甲^乙"_gbk;
    const GbkString payload = buildPayload(row);
    EXPECT_EQ(std::count(payload.begin(), payload.end(), '^'), 15);
    EXPECT_NE(payload.find("^甲^乙^"_gbk), GbkString::npos);
}

TEST(Payload, GbkBytesPassUnchanged)
{
    DocumentRecord row;
    row[DocumentRecord::Title] = std::string("\x81\x40\xFE\xFE\x80\xA1", 6); // odd bytes included
    EXPECT_EQ(buildPayload(row), std::string("^^^^^^\x81\x40\xFE\xFE\x80\xA1^^^^^^^^|", 21));
}

TEST(ExchangeFile, IsThePayloadAndCrLf)
{
    const GbkString payload = buildPayload(registeredRow());
    const std::string text = exchangeFileText(payload);
    EXPECT_EQ(text.size(), payload.size() + 2);
    EXPECT_EQ(text.substr(0, payload.size()), payload);
    EXPECT_TRUE(text.ends_with("\r\n"));
}

} // namespace
} // namespace regdesk::test
