#include "PictureDecoder.h"
#include "TempDeskFolder.h"
#include "barcode/BarcodePayload.h"
#include "barcode/EncoderHandoff.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/ProcessLauncher.h"
#include "platform/ProcessList.h"
#include "settings/SettingsFile.h"

#include <QFile>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace regdesk::test {
namespace {

// The real encoder program, the real process list and the renderers: what the
// clerk's 生成条码 does, without the form.
class EncoderRoundTrip : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists(REGDESK_PDF417_PROGRAM))
            GTEST_SKIP() << "the pdf417 program is not built: " << REGDESK_PDF417_PROGRAM;
        const std::string missing = missingRenderers();
        if (!missing.empty())
            GTEST_SKIP() << "metafile renderers missing (install emf2svg librsvg2-bin): " << missing;
        std::filesystem::copy_file(REGDESK_PDF417_PROGRAM, gbkToUtf8(joinPath(m_folder.gbkPath(), "pdf417")));
    }

    // Ticks as timer 1 would, until the encoder's files are there or it gave up.
    EncoderHandoff::State waitForEncoder(EncoderHandoff& handoff)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (;;) {
            const EncoderHandoff::Poll poll = handoff.poll();
            if (poll.state != EncoderHandoff::State::Waiting || std::chrono::steady_clock::now() > deadline)
                return poll.state;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    TempDeskFolder m_folder;
    PosixProcessLauncher m_launcher;
    ProcProcessList m_processes;
    SteadyClock m_clock;
};

struct PayloadCase
{
    const char* name;
    const char* title;
    const char* secrecy;
};

class EncoderRoundTripPayloads : public EncoderRoundTrip, public ::testing::WithParamInterface<PayloadCase>
{
};

TEST_P(EncoderRoundTripPayloads, PictureInTheOutputFolderDecodesToThePayload)
{
    const GbkString output = joinPath(m_folder.gbkPath(), "二维码"_gbk);
    m_folder.writeSettings("[发文设置]\n二维码输出位置=" + gbkToUtf8(output) +
                           "\n[PDF]\nECCPercent=40\nAspect=1:2\nECCLevel=9\nWidth=100\nHeight=40\n");
    DocumentRecord row;
    row[DocumentRecord::Number] = "法〔2026〕7号"_gbk;
    row[DocumentRecord::Title] = utf8ToGbk(GetParam().title);
    row[DocumentRecord::Secrecy] = utf8ToGbk(GetParam().secrecy);
    row[DocumentRecord::Kind] = "通知"_gbk;
    row[DocumentRecord::Recipient] = "各庭室"_gbk;
    row[DocumentRecord::IssuingUnit] = "某某人民法院"_gbk;
    row[DocumentRecord::Urgency] = "特急"_gbk;
    row[DocumentRecord::DocumentDate] = "20260305";
    row[DocumentRecord::CodeNumber] = "FY260001";
    row[DocumentRecord::CodeUnit] = "某某人民法院办公室"_gbk;
    row[DocumentRecord::CodeDate] = "20260312";
    row[DocumentRecord::Version] = "GB0626-2005";
    const GbkString payload = BarcodePayload::buildPayload(row);

    EncoderHandoff handoff(m_folder.gbkPath(), m_launcher, m_processes, m_clock);
    handoff.start(payload, SettingsFile(joinPath(m_folder.gbkPath(), "document.ini")));
    ASSERT_EQ(QFile(m_folder.filePath(QStringLiteral("TxtTemp.txt"))).size(), static_cast<qint64>(payload.size() + 2));
    ASSERT_EQ(waitForEncoder(handoff), EncoderHandoff::State::Ready);

    bool saved = false;
    const EncoderHandoff::PickUp pickUp = handoff.pickUp(SettingsFile(joinPath(m_folder.gbkPath(), "document.ini")),
                                                         row[DocumentRecord::Number], [&] { return saved = true; });
    EXPECT_TRUE(saved);
    ASSERT_TRUE(pickUp.pictureWritten);
    EXPECT_EQ(pickUp.outputPath, joinPath(output, "法〔2026〕7号.emf"_gbk));
    for (const GbkString& name : EncoderHandoff::exchangeFiles())
        EXPECT_FALSE(fileExists(joinPath(m_folder.gbkPath(), name))) << name;

    std::string why;
    const std::optional<std::string> decoded = decodeEmfPicture(toNativePath(pickUp.outputPath), why);
    ASSERT_TRUE(decoded) << why;
    EXPECT_EQ(*decoded, payload + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(Registrations, EncoderRoundTripPayloads,
                         ::testing::Values(PayloadCase{"Ordinary", "关于二〇二六年第一季度审判工作安排的通知", "无"},
                                           PayloadCase{"TopSecretWithoutTitle", "", "绝密"},
                                           PayloadCase{"LongTitle",
                                                       "关于进一步加强和规范全市法院诉讼服务中心建设、"
                                                       "推进多元化纠纷解决机制改革和案件繁简分流工作的实施意见的通知",
                                                       "秘密"}),
                         [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(EncoderRoundTrip, EncoderThatCannotEncodeIsGivenUpWithItsReason)
{
    m_folder.writeSettings("[PDF]\nWidth=100\nHeight=40\n");
    EncoderHandoff handoff(m_folder.gbkPath(), m_launcher, m_processes, m_clock);
    handoff.start(std::string(5000, 'x'), SettingsFile(joinPath(m_folder.gbkPath(), "document.ini")));
    // Far too long for one symbol: the encoder ends without its files.
    EncoderHandoff::Poll poll;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    do {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        poll = handoff.poll();
    } while (poll.state == EncoderHandoff::State::Waiting && std::chrono::steady_clock::now() < deadline);
    ASSERT_EQ(poll.state, EncoderHandoff::State::Failed);
    ASSERT_TRUE(poll.notice);
    EXPECT_TRUE(poll.notice->text.starts_with("条码生成失败"_gbk));
    EXPECT_NE(poll.notice->text.find("pdf417"), GbkString::npos) << gbkToUtf8(poll.notice->text);
}

} // namespace
} // namespace regdesk::test
