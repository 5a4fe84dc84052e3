#include "barcode/EncoderHandoff.h"

#include "FakeClock.h"
#include "FakeProcessLauncher.h"
#include "FakeProcessList.h"
#include "SymbolPictures.h"
#include "TempDeskFolder.h"
#include "platform/FileSystem.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <filesystem>
#include <gtest/gtest.h>

namespace regdesk::test {
namespace {

using namespace std::chrono_literals;

class EncoderHandoffTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = m_folder.gbkPath();
        m_output = joinPath(m_dir, "输出"_gbk);
        m_folder.writeSettings("[发文设置]\n二维码输出位置=" + gbkToUtf8(m_output) +
                               "\n[PDF]\nECCPercent=40\nRows=0\nAspect=1:2\nWidth=50\nHeight=20\n");
        m_launcher.onStart([this](const FakeProcessLauncher::Start&) {
            if (m_encoderWritesFiles)
                writeEncoderOutputs();
        });
    }

    SettingsFile settings() const { return SettingsFile(joinPath(m_dir, "document.ini")); }
    GbkString file(const GbkString& name) const { return joinPath(m_dir, name); }

    void writeEncoderOutputs()
    {
        // A symbol of what was handed over, as the encoder draws it.
        writeWholeFile(file("TempPdf.bmp"), symbolBitmap(readWholeFile(file("TxtTemp.txt")).value_or("")));
        writeWholeFile(file("TempPdf.emf"), "emf");
        writeWholeFile(file("TempPdf.wmf"), "wmf");
        writeWholeFile(file("TempCode.txt"), "codes");
    }

    TempDeskFolder m_folder;
    GbkString m_dir;
    GbkString m_output;
    FakeProcessLauncher m_launcher;
    FakeProcessList m_processes;
    FakeClock m_clock;
    bool m_encoderWritesFiles = true;
    EncoderHandoff m_handoff{m_folder.gbkPath(), m_launcher, m_processes, m_clock};
};

TEST_F(EncoderHandoffTest, StartWritesTheExchangeFilesAndStartsTheEncoder)
{
    m_handoff.start("GB0626-2005^^|", settings());
    EXPECT_EQ(readWholeFile(file("TxtTemp.txt")), "GB0626-2005^^|\r\n");
    EXPECT_EQ(readWholeFile(file("MakeBarCode.ini")),
              "[PDF]\r\nECCPercent=40\r\nRows=0\r\nAspect=1:2\r\nWidth=50\r\nHeight=20\r\n");
    ASSERT_EQ(m_launcher.starts().size(), 1u);
    EXPECT_EQ(m_launcher.starts()[0].program, file("pdf417"));
    EXPECT_EQ(m_launcher.starts()[0].arguments, std::vector<GbkString>{m_dir});
    EXPECT_EQ(m_launcher.starts()[0].workingDirectory, m_dir);
    EXPECT_TRUE(m_handoff.isWaiting());
}

TEST_F(EncoderHandoffTest, InstalledEncoderIsStartedFromItsFolderOnTheDeskFolderFiles)
{
    EncoderHandoff installed(m_dir, m_launcher, m_processes, m_clock, "/usr/lib/regdesk");
    installed.start("GB0626-2005^^|", settings());
    ASSERT_EQ(m_launcher.starts().size(), 1u);
    EXPECT_EQ(m_launcher.starts()[0].program, "/usr/lib/regdesk/pdf417");
    EXPECT_EQ(m_launcher.starts()[0].arguments, std::vector<GbkString>{m_dir});
    EXPECT_EQ(m_launcher.starts()[0].workingDirectory, m_dir);
    EXPECT_EQ(readWholeFile(file("TxtTemp.txt")), "GB0626-2005^^|\r\n");
}

TEST_F(EncoderHandoffTest, WithoutPdfListTheSettingsCopyIsTheHeaderAlone)
{
    m_folder.writeSettings("[发文设置]\n");
    m_handoff.start("x", settings());
    EXPECT_EQ(readWholeFile(file("MakeBarCode.ini")), "[PDF]\r\n");
}

TEST_F(EncoderHandoffTest, WaitsWhileTheEncoderRuns)
{
    m_handoff.start("p", settings());
    m_processes.setRunning({"bash", "PDF417"});
    EXPECT_EQ(m_handoff.poll().state, EncoderHandoff::State::Waiting);
    m_clock.advance(60s);
    EXPECT_EQ(m_handoff.poll().state, EncoderHandoff::State::Waiting);
    m_processes.setRunning({"bash"});
    EXPECT_EQ(m_handoff.poll().state, EncoderHandoff::State::Ready);
    EXPECT_FALSE(m_handoff.isWaiting());
}

TEST_F(EncoderHandoffTest, UnreadableProcessListSaysSoAndWaits)
{
    m_handoff.start("p", settings());
    m_processes.setUnreadable();
    const EncoderHandoff::Poll poll = m_handoff.poll();
    EXPECT_EQ(poll.state, EncoderHandoff::State::Waiting);
    ASSERT_TRUE(poll.notice);
    EXPECT_EQ(*poll.notice, (DeskNotice{"进程意外"_gbk, {}}));
}

TEST_F(EncoderHandoffTest, WaitsForEveryExchangeFile)
{
    m_handoff.start("p", settings());
    for (const GbkString& name : EncoderHandoff::exchangeFiles()) {
        SCOPED_TRACE(name);
        const std::optional<std::string> kept = readWholeFile(file(name));
        ASSERT_TRUE(kept);
        removeFile(file(name));
        EXPECT_EQ(m_handoff.poll().state, EncoderHandoff::State::Waiting);
        writeWholeFile(file(name), *kept);
    }
    EXPECT_EQ(m_handoff.poll().state, EncoderHandoff::State::Ready);
}

TEST_F(EncoderHandoffTest, GivesUpFiveSecondsAfterTheEncoderEndedWithoutFiles)
{
    m_encoderWritesFiles = false;
    m_handoff.start("p", settings());
    m_launcher.current().errorOutput = "pdf417: cannot encode TxtTemp.txt\n";
    EXPECT_EQ(m_handoff.poll().state, EncoderHandoff::State::Waiting);
    m_clock.advance(4999ms);
    EXPECT_EQ(m_handoff.poll().state, EncoderHandoff::State::Waiting);
    m_clock.advance(1ms);
    const EncoderHandoff::Poll poll = m_handoff.poll();
    EXPECT_EQ(poll.state, EncoderHandoff::State::Failed);
    ASSERT_TRUE(poll.notice);
    EXPECT_EQ(gbkToUtf8(poll.notice->text), "条码生成失败\r\npdf417: cannot encode TxtTemp.txt");
    EXPECT_FALSE(m_handoff.isWaiting());
}

TEST_F(EncoderHandoffTest, GiveUpWithoutReasonIsTheBareMessage)
{
    m_encoderWritesFiles = false;
    m_handoff.start("p", settings());
    m_handoff.poll();
    m_clock.advance(5s);
    const EncoderHandoff::Poll poll = m_handoff.poll();
    ASSERT_TRUE(poll.notice);
    EXPECT_EQ(poll.notice->text, "条码生成失败"_gbk);
}

TEST_F(EncoderHandoffTest, NoGiveUpWhileTheEncoderHasNotEnded)
{
    m_encoderWritesFiles = false;
    m_launcher.endAtOnce(false);
    m_handoff.start("p", settings());
    m_clock.advance(60s);
    EXPECT_EQ(m_handoff.poll().state, EncoderHandoff::State::Waiting);
    m_launcher.current().ended = true;
    EXPECT_EQ(m_handoff.poll().state, EncoderHandoff::State::Waiting); // the five seconds start now
    m_clock.advance(5s);
    EXPECT_EQ(m_handoff.poll().state, EncoderHandoff::State::Failed);
}

TEST_F(EncoderHandoffTest, SecondStartRestartsTheWait)
{
    m_encoderWritesFiles = false;
    m_handoff.start("p", settings());
    m_handoff.poll();
    m_clock.advance(4s);
    m_handoff.start("q", settings());
    m_handoff.poll();
    m_clock.advance(4s);
    EXPECT_EQ(m_handoff.poll().state, EncoderHandoff::State::Waiting);
    EXPECT_EQ(m_launcher.starts().size(), 2u);
    EXPECT_EQ(readWholeFile(file("TxtTemp.txt")), "q\r\n");
}

TEST_F(EncoderHandoffTest, PickUpSavesThenWritesThePictureThenRemovesTheFiles)
{
    m_handoff.start("p", settings());
    ASSERT_EQ(m_handoff.poll().state, EncoderHandoff::State::Ready);
    const GbkString expectedPath = joinPath(m_output, "法〔2024〕12号.emf"_gbk);

    bool saved = false;
    const EncoderHandoff::PickUp pickUp = m_handoff.pickUp(settings(), "法〔2024〕12号"_gbk, [&] {
        saved = true;
        EXPECT_TRUE(fileExists(m_output)) << "the folder exists before the save";
        EXPECT_FALSE(fileExists(expectedPath)) << "the picture comes after the save";
        EXPECT_TRUE(fileExists(file("TempPdf.bmp"))) << "exchange files go last";
        return true;
    });
    EXPECT_TRUE(saved);
    EXPECT_EQ(pickUp.folder, m_output);
    EXPECT_EQ(pickUp.outputPath, expectedPath);
    EXPECT_TRUE(pickUp.pictureWritten);
    EXPECT_TRUE(pickUp.notices.empty());
    const std::optional<std::string> picture = readWholeFile(expectedPath);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->substr(0, 4), std::string("\x01\0\0\0", 4));
    // Width 50 and Height 20 make a rectangle of 185 x 74.
    EXPECT_EQ(static_cast<unsigned char>((*picture)[16]), 184);
    EXPECT_EQ(static_cast<unsigned char>((*picture)[20]), 73);
    for (const GbkString& name : EncoderHandoff::exchangeFiles())
        EXPECT_FALSE(fileExists(file(name))) << name;
}

TEST_F(EncoderHandoffTest, PickUpReplacesAnEarlierPictureAndToleratesTrailingSeparator)
{
    m_folder.writeSettings("[发文设置]\n二维码输出位置=" + gbkToUtf8(m_output) + "/\n[PDF]\nWidth=10\nHeight=10\n");
    QDir().mkpath(QString::fromUtf8(gbkToUtf8(m_output)));
    writeWholeFile(joinPath(m_output, "A1.emf"), "old");
    m_handoff.start("p", settings());
    const EncoderHandoff::PickUp pickUp = m_handoff.pickUp(settings(), "A1", {});
    EXPECT_EQ(pickUp.outputPath, joinPath(m_output, "A1.emf"));
    EXPECT_EQ(pickUp.folder, m_output + "/");
    EXPECT_NE(readWholeFile(pickUp.outputPath), "old");
}

// The save may leave the registration unsaved (an overwrite declined): the
// picture of the registered document under that name stays, and the new one
// is held for a later save; without an earlier picture it is written.
TEST_F(EncoderHandoffTest, UnsavedRegistrationKeepsAnEarlierPicture)
{
    QDir().mkpath(QString::fromUtf8(gbkToUtf8(m_output)));
    writeWholeFile(joinPath(m_output, "A1.emf"), "registered");
    m_handoff.start("p", settings());
    const EncoderHandoff::PickUp kept = m_handoff.pickUp(settings(), "A1", [] { return false; });
    EXPECT_EQ(readWholeFile(kept.outputPath), "registered");
    EXPECT_FALSE(kept.pictureWritten);
    ASSERT_TRUE(kept.heldPicture);
    EXPECT_EQ(kept.heldPicture->substr(0, 4), std::string("\x01\0\0\0", 4));
    EXPECT_TRUE(kept.notices.empty());
    for (const GbkString& name : EncoderHandoff::exchangeFiles())
        EXPECT_FALSE(fileExists(file(name))) << name;

    m_handoff.start("p", settings());
    const EncoderHandoff::PickUp written = m_handoff.pickUp(settings(), "A2", [] { return false; });
    EXPECT_TRUE(written.pictureWritten);
    EXPECT_FALSE(written.heldPicture);
}

TEST_F(EncoderHandoffTest, PictureThatCannotBeWrittenIsReportedAfterTheSave)
{
    writeWholeFile(m_output, "a file where the folder should be");
    m_handoff.start("p", settings());
    bool saved = false;
    const EncoderHandoff::PickUp pickUp = m_handoff.pickUp(settings(), "A1", [&] { return saved = true; });
    EXPECT_TRUE(saved);
    EXPECT_FALSE(pickUp.pictureWritten);
    ASSERT_EQ(pickUp.notices.size(), 1u);
    EXPECT_EQ(pickUp.notices[0], (DeskNotice{"图像转化出错"_gbk, {}}));
    for (const GbkString& name : EncoderHandoff::exchangeFiles())
        EXPECT_FALSE(fileExists(file(name))) << name;
}

TEST_F(EncoderHandoffTest, NoOutputFolderSetMeansNoPictureButTheSaveRuns)
{
    m_folder.writeSettings("[发文设置]\n二维码输出位置=\n[PDF]\nWidth=10\nHeight=10\n");
    m_handoff.start("p", settings());
    // A number of its own, so that no other run's file can stand in the root folder.
    const GbkString number = m_dir.substr(m_dir.rfind('/') + 1);
    bool saved = false;
    const EncoderHandoff::PickUp pickUp = m_handoff.pickUp(settings(), number, [&] { return saved = true; });
    EXPECT_TRUE(saved);
    EXPECT_FALSE(pickUp.pictureWritten);
    EXPECT_TRUE(pickUp.outputPath.empty());
    EXPECT_FALSE(fileExists("/" + number + ".emf"));
    ASSERT_EQ(pickUp.notices.size(), 1u);
    EXPECT_EQ(pickUp.notices[0].text, "图像转化出错"_gbk);
    for (const GbkString& name : EncoderHandoff::exchangeFiles())
        EXPECT_FALSE(fileExists(file(name))) << name;
}

TEST_F(EncoderHandoffTest, DamagedEncoderBitmapLeavesNoPicture)
{
    m_handoff.start("p", settings());
    writeWholeFile(file("TempPdf.bmp"), "not a bitmap");
    const EncoderHandoff::PickUp pickUp = m_handoff.pickUp(settings(), "A1", {});
    EXPECT_FALSE(pickUp.pictureWritten);
    EXPECT_FALSE(fileExists(pickUp.outputPath));
    EXPECT_EQ(pickUp.notices.size(), 1u);
}

TEST_F(EncoderHandoffTest, NumberWithPathCharactersStaysInTheOutputFolder)
{
    m_handoff.start("p", settings());
    const EncoderHandoff::PickUp pickUp = m_handoff.pickUp(settings(), "../../法/12\\号"_gbk, {});
    EXPECT_EQ(pickUp.outputPath, joinPath(m_output, "______法_12_号.emf"_gbk));
    EXPECT_TRUE(fileExists(pickUp.outputPath));
}

TEST_F(EncoderHandoffTest, FileThatCannotBeReplacedOrRemovedStopsTheHandOff)
{
    // A folder (not empty) where an exchange file is written or an old output removed.
    for (const GbkString name : {"TxtTemp.txt", "MakeBarCode.ini", "TempCode.txt"}) {
        SCOPED_TRACE(name);
        const QString folder = QString::fromStdString(gbkToUtf8(file(name)));
        ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/kept")));
        const std::optional<DeskNotice> failure = m_handoff.start("p", settings());
        ASSERT_TRUE(failure);
        EXPECT_EQ(gbkToUtf8(failure->text).rfind("条码生成失败\r\n" + name + ": ", 0), 0u) << gbkToUtf8(failure->text);
        EXPECT_TRUE(m_launcher.starts().empty());
        EXPECT_FALSE(m_handoff.isWaiting());
        QDir(folder).removeRecursively();
    }
}

TEST_F(EncoderHandoffTest, OutputsOfAnEarlierRunAreRemovedBeforeTheEncoderStarts)
{
    writeEncoderOutputs();
    m_encoderWritesFiles = false; // the encoder is missing: it leaves nothing
    EXPECT_EQ(m_handoff.start("p", settings()), std::nullopt);
    EXPECT_EQ(m_handoff.poll().state, EncoderHandoff::State::Waiting);
}

TEST_F(EncoderHandoffTest, LinkPlantedAtThePictureDuringTheSaveIsNotFollowed)
{
    const GbkString victim = file("victim");
    writeWholeFile(victim, "precious");
    m_handoff.start("p", settings());
    const GbkString picture = joinPath(m_output, "A1.emf");
    // The save asks its questions between the removal of the old picture and the write.
    const EncoderHandoff::PickUp pickUp = m_handoff.pickUp(settings(), "A1", [&] {
        std::filesystem::create_symlink(gbkToUtf8(victim), gbkToUtf8(picture));
        return true;
    });
    EXPECT_TRUE(pickUp.pictureWritten);
    EXPECT_EQ(readWholeFile(victim), "precious");
    EXPECT_FALSE(std::filesystem::is_symlink(gbkToUtf8(picture)));
    EXPECT_EQ(readWholeFile(picture)->substr(0, 4), std::string("\x01\0\0\0", 4));
}

struct NameCase
{
    const char* name;
    std::string number;
    std::string expected;
};

class SafePictureName : public ::testing::TestWithParam<NameCase>
{
};

TEST_P(SafePictureName, ReplacesOnlyWhatLeavesTheFolder)
{
    EXPECT_EQ(safePictureName(GetParam().number), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, SafePictureName,
    ::testing::Values(NameCase{"Plain", "法〔2024〕12号"_gbk, "法〔2024〕12号"_gbk},
                      NameCase{"Slash", "法/12号"_gbk, "法_12号"_gbk},
                      NameCase{"Backslash", "法\\12号"_gbk, "法_12号"_gbk}, NameCase{"DotDot", "..", "__"},
                      NameCase{"ThreeDots", "a...b", "a___b"}, NameCase{"SingleDotKept", "v1.2", "v1.2"},
                      // 0x5C as the trail byte of a GBK character is part of that character.
                      NameCase{"TrailByteBackslash", std::string("\x81\x5C", 2), std::string("\x81\x5C", 2)},
                      NameCase{"Empty", "", ""}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

// A stray lead byte is one byte: it does not hide the "/" or "." after it.
INSTANTIATE_TEST_SUITE_P(StrayLeadBytes, SafePictureName,
                         ::testing::Values(NameCase{"BeforeSlash", "\xB7/x", "\xB7_x"},
                                           NameCase{"BeforeDotDot", "\xB7../x", "\xB7___x"}),
                         [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST(IsProcessRunning, ComparesLowerCasedNames)
{
    FakeProcessList processes;
    processes.setRunning({"systemd", "PDF417"});
    EXPECT_EQ(isProcessRunning(processes, "pdf417"), 1);
    processes.setRunning({"systemd", "pdf4177"});
    EXPECT_EQ(isProcessRunning(processes, "pdf417"), 0);
    processes.setUnreadable();
    EXPECT_EQ(isProcessRunning(processes, "pdf417"), -1);
}

} // namespace
} // namespace regdesk::test

namespace regdesk::test {
namespace {

// A stand-in for the encoder whose bitmap is wrong.
struct WrongPictureCase
{
    const char* name;
    std::function<std::string(const std::string& handedOver)> bitmap;
    const char* reason; // UTF-8
};

class WrongEncoderPicture : public EncoderHandoffTest, public ::testing::WithParamInterface<WrongPictureCase>
{
};

// Stopped before it reaches the clerk: no save, no picture (an earlier one of
// that name stays as it was), the exchange files gone, and the reason told.
TEST_P(WrongEncoderPicture, IsStoppedBeforeTheSave)
{
    QDir().mkpath(QString::fromUtf8(gbkToUtf8(m_output)));
    const GbkString earlier = joinPath(m_output, "A1.emf");
    writeWholeFile(earlier, "the registered document's barcode");
    const GbkString payload = "GB0626-2005^A1^某某人民法院^^|"_gbk;
    m_handoff.start(payload, settings());
    writeWholeFile(file("TempPdf.bmp"), GetParam().bitmap(*readWholeFile(file("TxtTemp.txt"))));
    ASSERT_EQ(m_handoff.poll().state, EncoderHandoff::State::Ready);

    bool saved = false;
    const EncoderHandoff::PickUp pickUp = m_handoff.pickUp(settings(), "A1", [&] { return saved = true; });
    EXPECT_FALSE(saved);
    ASSERT_TRUE(pickUp.selfCheckFailure);
    EXPECT_EQ(gbkToUtf8(*pickUp.selfCheckFailure), GetParam().reason);
    const std::vector<DeskNotice> told = {{"条码自检失败\r\n"_gbk + utf8ToGbk(GetParam().reason), {}}};
    EXPECT_EQ(pickUp.notices, told);
    EXPECT_FALSE(pickUp.pictureWritten);
    EXPECT_FALSE(pickUp.heldPicture);
    EXPECT_EQ(readWholeFile(earlier), "the registered document's barcode");
    EXPECT_EQ(QDir(QString::fromUtf8(gbkToUtf8(m_output))).entryList(QDir::Files | QDir::System | QDir::Hidden),
              QStringList{QStringLiteral("A1.emf")});
    for (const GbkString& name : EncoderHandoff::exchangeFiles())
        EXPECT_FALSE(fileExists(file(name))) << name;
}

INSTANTIATE_TEST_SUITE_P(
    StandIns, WrongEncoderPicture,
    ::testing::Values(WrongPictureCase{"AnotherPayload",
                                       [](const std::string& handedOver) {
                                           return symbolBitmap("GB0626-2005^A2" + handedOver.substr(14));
                                       },
                                       "解码内容与登记内容在第14字节处不同（解码32字节，应为32字节）"},
                      WrongPictureCase{"WithoutTheLineEnd",
                                       [](const std::string& handedOver) {
                                           return symbolBitmap(handedOver.substr(0, handedOver.size() - 2));
                                       },
                                       "解码内容与登记内容在第31字节处不同（解码30字节，应为32字节）"},
                      WrongPictureCase{"BlankBitmap",
                                       [](const std::string& handedOver) {
                                           std::string blank = symbolBitmap(handedOver);
                                           std::fill(blank.begin() + 62, blank.end(), '\xFF');
                                           return blank;
                                       },
                                       "图片中的条码无法解码"}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(EncoderHandoffTest, SelfCheckSwitchedOffLetsAnyPictureThrough)
{
    m_folder.writeSettings("[发文设置]\n二维码输出位置=" + gbkToUtf8(m_output) +
                           "\n条码自检=否\n[PDF]\nWidth=50\nHeight=20\n");
    m_handoff.start("p", settings());
    writeWholeFile(file("TempPdf.bmp"), symbolBitmap("another payload"));
    bool saved = false;
    const EncoderHandoff::PickUp pickUp = m_handoff.pickUp(settings(), "A1", [&] { return saved = true; });
    EXPECT_TRUE(saved);
    EXPECT_TRUE(pickUp.pictureWritten);
    EXPECT_FALSE(pickUp.selfCheckFailure);
    EXPECT_TRUE(pickUp.notices.empty());
}

} // namespace
} // namespace regdesk::test
