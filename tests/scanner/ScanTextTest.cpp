// The receive text and the split of a scan: plain byte logic.
#include "TestRecords.h"
#include "barcode/BarcodePayload.h"
#include "platform/Gbk.h"
#include "scanner/ReceiveText.h"
#include "scanner/ScanFields.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace regdesk;
using namespace std::string_literals;

namespace {

struct ChunkCase
{
    const char* name;
    std::vector<std::string> chunks;
    std::string text;
    bool endMark;
};

class ReceiveTextChunks : public ::testing::TestWithParam<ChunkCase>
{
};

TEST_P(ReceiveTextChunks, GathersBytesAndFindsTheEndMark)
{
    ReceiveText receive;
    for (const std::string& chunk : GetParam().chunks)
        receive.append(chunk);
    EXPECT_EQ(receive.text(), GetParam().text);
    EXPECT_EQ(receive.hasEndMark(), GetParam().endMark);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReceiveTextChunks,
    ::testing::Values(ChunkCase{"EmptyText", {}, "", false}, ChunkCase{"MarkInOneChunk", {"a^b^^|"}, "a^b^^|", true},
                      ChunkCase{"ByteByByte", {"a", "^", "^", "|"}, "a^^|", true},
                      ChunkCase{"MarkSplitAcrossChunks", {"GB^1^^", "|"}, "GB^1^^|", true},
                      ChunkCase{"MarkAtStartOnly", {"^|", "abc"}, "^|abc", false},
                      ChunkCase{"MarkAtStartArrivingByteByByte", {"^", "|"}, "^|", false},
                      ChunkCase{"MarkAtStartThenAgainLater", {"^|", "x^|"}, "^|x^|", true},
                      ChunkCase{"MarkAtPositionOne", {"x^|"}, "x^|", true},
                      ChunkCase{"ZeroBytesAddNothing", {"a\0^"s, "\0\0"s, "^|"}, "a^^|", true},
                      ChunkCase{"ZeroBetweenCaretAndBarStillMarks", {"a^\0|"s}, "a^|", true},
                      ChunkCase{"CaretAloneIsNoMark", {"abc^", "^"}, "abc^^", false},
                      ChunkCase{"BarThenCaretIsNoMark", {"a|^"}, "a|^", false},
                      ChunkCase{"GbkBytesKept", {"\xB7\xA2"s, "\xCE\xC4^^|"s}, "\xB7\xA2\xCE\xC4^^|", true}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(ReceiveText, TakeEmptiesTextAndForgetsTheMark)
{
    ReceiveText receive;
    receive.append("a^b^^|tail");
    EXPECT_EQ(receive.take(), "a^b^^|tail");
    EXPECT_TRUE(receive.isEmpty());
    EXPECT_FALSE(receive.hasEndMark());
    receive.append("|");
    EXPECT_FALSE(receive.hasEndMark()) << "a bar after the taken text must not complete a new mark";
}

TEST(ReceiveText, KeepsOnlyTheNewestBytesBeyondCapacity)
{
    ReceiveText receive;
    const std::string noise(ReceiveText::kCapacity - 1, 'n');
    receive.append(noise);
    receive.append("ab");
    ASSERT_EQ(receive.text().size(), ReceiveText::kCapacity);
    EXPECT_EQ(receive.text().substr(receive.text().size() - 3), "nab");
    receive.append("cd");
    ASSERT_EQ(receive.text().size(), ReceiveText::kCapacity);
    EXPECT_EQ(receive.text().substr(receive.text().size() - 4), "abcd");
    EXPECT_EQ(receive.text().front(), 'n');
}

TEST(ReceiveText, MarkDroppedWithTheOldestBytesNoLongerCounts)
{
    ReceiveText receive;
    receive.append("x^|");
    ASSERT_TRUE(receive.hasEndMark());
    // Push the mark out: only the newest kCapacity bytes are kept.
    receive.append(std::string(ReceiveText::kCapacity - 1, 'n'));
    EXPECT_EQ(receive.text().front(), '|');
    EXPECT_FALSE(receive.hasEndMark());
}

TEST(ReceiveText, MarkShiftedToTheVeryStartNoLongerCounts)
{
    ReceiveText receive;
    receive.append("x^|");
    receive.append(std::string(ReceiveText::kCapacity - 2, 'n'));
    EXPECT_EQ(receive.text().substr(0, 2), "^|");
    EXPECT_FALSE(receive.hasEndMark());
    receive.append("^|");
    EXPECT_TRUE(receive.hasEndMark());
}

TEST(ReceiveText, OneHugeChunkKeepsItsTail)
{
    ReceiveText receive;
    std::string chunk(ReceiveText::kCapacity + 10, 'n');
    chunk += "z^^|";
    receive.append(chunk);
    EXPECT_EQ(receive.text().size(), ReceiveText::kCapacity);
    EXPECT_TRUE(receive.hasEndMark());
}

TEST(ScanRoundTrip, ChineseValuesWithCaretSecondBytesKeepAllThirteenFields)
{
    // Each of these characters ends in the byte of "^"; "區|" holds the bytes of the end mark.
    DocumentRecord sent = test::sampleOutgoingRow("法〔2024〕12号"_gbk);
    sent[DocumentRecord::IssuingUnit] = "香港特別行政區政府"_gbk;
    sent[DocumentRecord::Title] = "關於圖書館參觀的通知"_gbk;
    sent[DocumentRecord::Recipient] = "頭"_gbk;
    sent[DocumentRecord::Level] = "區|過"_gbk;
    sent[DocumentRecord::CodeUnit] = "絕"_gbk;
    const GbkString payload = BarcodePayload::buildPayload(sent);

    ReceiveText receive;
    for (std::size_t i = 0; i < payload.size(); ++i) {
        EXPECT_FALSE(receive.hasEndMark()) << "at byte " << i;
        receive.append(payload.substr(i, 1));
    }
    ASSERT_TRUE(receive.hasEndMark());
    const DocumentRecord scanned = recordFromScan(splitScan(receive.take()), "20240305");
    for (int column = 0; column < DocumentRecord::Remarks; ++column)
        EXPECT_EQ(scanned.fields[column], sent.fields[column]) << "column " << column;
    EXPECT_EQ(scanned[DocumentRecord::Remarks], "20240305");
}

struct SplitCase
{
    const char* name;
    std::string text;
    std::vector<std::string> fields; // the leading fields; all later ones must be empty
};

class SplitScan : public ::testing::TestWithParam<SplitCase>
{
};

TEST_P(SplitScan, GivesTheValuesBeforeEachCaret)
{
    const ScanFields fields = splitScan(GetParam().text);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string expected = i < GetParam().fields.size() ? GetParam().fields[i] : std::string();
        EXPECT_EQ(fields[i], expected) << "field " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitScan,
    ::testing::Values(
        SplitCase{"Empty", "", {}}, SplitCase{"NoCaret", "abc|", {}},
        SplitCase{"Payload",
                  "GB0626-2005^C1^U^K^N^R^T^S^G^20240305^L^CU^20240312^^|",
                  {"GB0626-2005", "C1", "U", "K", "N", "R", "T", "S", "G", "20240305", "L", "CU", "20240312", ""}},
        SplitCase{"TailAfterLastCaretDropped", "a^b^|junk^|more", {"a", "b", "|junk"}},
        SplitCase{"AdjacentCaretsGiveEmptyField", "a^^b^", {"a", "", "b"}}, SplitCase{"LeadingCaret", "^a^", {"", "a"}},
        SplitCase{"FewerSeparators", "v^c^u^", {"v", "c", "u"}},
        SplitCase{"ExactlyFifteen",
                  "0^1^2^3^4^5^6^7^8^9^10^11^12^13^14^|",
                  {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14"}},
        SplitCase{"SurplusDropped",
                  "0^1^2^3^4^5^6^7^8^9^10^11^12^13^14^15^16^^|",
                  {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14"}},
        SplitCase{"TwoScansRunTogether",
                  "V^C^U^K^N1^R^T^S^G^D^L^CU^CD^^|V^C^U^K^N2^R^T^S^G^D^L^CU^CD^^|",
                  {"V", "C", "U", "K", "N1", "R", "T", "S", "G", "D", "L", "CU", "CD", "", "|V"}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(RecordFromScan, PutsEachValueIntoItsListColumn)
{
    ScanFields fields;
    for (std::size_t i = 0; i < fields.size(); ++i)
        fields[i] = "f" + std::to_string(i);
    const DocumentRecord record = recordFromScan(fields, "20240305");
    EXPECT_EQ(record[DocumentRecord::Number], "f4");
    EXPECT_EQ(record[DocumentRecord::Title], "f6");
    EXPECT_EQ(record[DocumentRecord::Secrecy], "f7");
    EXPECT_EQ(record[DocumentRecord::Kind], "f3");
    EXPECT_EQ(record[DocumentRecord::Recipient], "f5");
    EXPECT_EQ(record[DocumentRecord::Level], "f10");
    EXPECT_EQ(record[DocumentRecord::IssuingUnit], "f2");
    EXPECT_EQ(record[DocumentRecord::Urgency], "f8");
    EXPECT_EQ(record[DocumentRecord::DocumentDate], "f9");
    EXPECT_EQ(record[DocumentRecord::CodeNumber], "f1");
    EXPECT_EQ(record[DocumentRecord::CodeUnit], "f11");
    EXPECT_EQ(record[DocumentRecord::CodeDate], "f12");
    EXPECT_EQ(record[DocumentRecord::Version], "f0");
    EXPECT_EQ(record[DocumentRecord::Remarks], "f1320240305");
    EXPECT_TRUE(record.barcodeMade.empty());
    EXPECT_TRUE(record.attachmentPath.empty());
}

TEST(RecordFromScan, EmptyScanGivesOnlyTheDate)
{
    const DocumentRecord record = recordFromScan(splitScan(""), "20241231");
    for (int column = 0; column < DocumentRecord::Remarks; ++column)
        EXPECT_TRUE(record.fields[column].empty()) << "column " << column;
    EXPECT_EQ(record[DocumentRecord::Remarks], "20241231");
}

struct DateCase
{
    const char* name;
    int year, month, day;
    const char* text;
};

class EightDigitDate : public ::testing::TestWithParam<DateCase>
{
};

TEST_P(EightDigitDate, PadsMonthAndDay)
{
    EXPECT_EQ(eightDigitDate(GetParam().year, GetParam().month, GetParam().day), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Cases, EightDigitDate,
                         ::testing::Values(DateCase{"FifthOfMarch", 2024, 3, 5, "20240305"},
                                           DateCase{"TwelfthOfMarch", 2024, 3, 12, "20240312"},
                                           DateCase{"LastDayOfYear", 2023, 12, 31, "20231231"},
                                           DateCase{"FirstDayOfYear", 2025, 1, 1, "20250101"},
                                           DateCase{"ShortYearUnpadded", 999, 1, 2, "9990102"}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

struct WholePayloadCase
{
    const char* name;
    std::string text;
    bool whole;
};

class WholePayload : public ::testing::TestWithParam<WholePayloadCase>
{
};

TEST_P(WholePayload, TakesOnlyThirteenValuesClosedByTheEndMark)
{
    EXPECT_EQ(isWholePayload(GetParam().text), GetParam().whole);
}

// Thirteen values "v0".."v12" with `last` as the final one.
std::string values(int count, const std::string& last = "v")
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += (i + 1 == count ? last : "v" + std::to_string(i)) + "^";
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WholePayload,
    ::testing::Values(WholePayloadCase{"BuiltPayload", BarcodePayload::buildPayload(test::sampleOutgoingRow("D-1")),
                                       true},
                      WholePayloadCase{"WithCrLf", values(13) + "^|\r\n", true},
                      WholePayloadCase{"EmptyValues", std::string(13, '^') + "^|", true},
                      WholePayloadCase{"TrailCaretAndBarInsideValues", values(13, "\x85\x5E\x81\x7C") + "^|", true},
                      WholePayloadCase{"NoEndMark", values(13) + "^", false},
                      WholePayloadCase{"TwelveValues", values(12) + "^|", false},
                      WholePayloadCase{"FourteenValues", values(14) + "^|", false},
                      WholePayloadCase{"BytesAfterTheMark", values(13) + "^|x", false},
                      WholePayloadCase{"MarkWithoutEmptyValue", values(13) + "|", false},
                      WholePayloadCase{"MarkHiddenInACharacter", values(13) + "\x85^|", false},
                      WholePayloadCase{"Empty", "", false}, WholePayloadCase{"MarkOnly", "^|", false}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

} // namespace
