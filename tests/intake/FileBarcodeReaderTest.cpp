// Reading the barcode of incoming documents from PDF and picture files made
// here: the desk's own symbols on A4 pages, photos of them, and bad files.
#include "intake/FileBarcodeReader.h"

#include "IntakeFixtures.h"
#include "TestRecords.h"
#include "barcode/BarcodePayload.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace regdesk;
using namespace regdesk::test;
using Status = FileReading::Status;

namespace {

class FileBarcodeReaderTest : public ::testing::Test
{
protected:
    QString file(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_folder.filePath(name);
        EXPECT_TRUE(writeBytes(path, bytes));
        return path;
    }

    QTemporaryDir m_folder;
    const GbkString m_payload = trickyPayload("京法〔2024〕21号"_gbk);
};

TEST_F(FileBarcodeReaderTest, FindsTheExactPayloadOnPageOneOrTwoAndInAPhoto)
{
    const QImage symbol = symbolImage(m_payload);
    const std::vector<std::pair<QString, QByteArray>> files = {
        {QStringLiteral("第一页.pdf"), pdfOfPages({{symbol}})},
        {QStringLiteral("second-page.pdf"), pdfOfPages({{}, {symbol}})},
        // Taken at 400 dpi: the symbol keeps over two pixels a module at 60 %.
        {QStringLiteral("photo.jpg"), roughJpeg(pageImage({symbol}, 2))},
        {QStringLiteral("scan.png"),
         [&symbol] {
             QByteArray png;
             QBuffer buffer(&png);
             buffer.open(QIODevice::WriteOnly);
             pageImage({symbol}).save(&buffer, "PNG");
             return png;
         }()},
    };
    for (const auto& [name, bytes] : files) {
        const FileReading reading = readBarcodeFile(file(name, bytes));
        EXPECT_EQ(reading.status, Status::Payload) << name.toStdString() << ": " << reading.reason.toStdString();
        EXPECT_EQ(reading.payload, m_payload) << name.toStdString();
    }
}

TEST_F(FileBarcodeReaderTest, FirstWholePayloadOfAPageCounts)
{
    // Above it a symbol of some other barcode: read, and passed over.
    const GbkString other = "no end mark^";
    const FileReading reading =
        readBarcodeFile(file(QStringLiteral("two.pdf"), pdfOfPages({{symbolImage(other), symbolImage(m_payload)}})));
    EXPECT_EQ(reading.status, Status::Payload);
    EXPECT_EQ(reading.payload, m_payload);
    EXPECT_EQ(reading.symbolsFound, 2);
}

TEST_F(FileBarcodeReaderTest, PageWithoutOrWithAForeignSymbolHasNoBarcode)
{
    const QString blank = file(QStringLiteral("blank.pdf"), pdfOfPages({{}}));
    FileReading reading = readBarcodeFile(blank);
    EXPECT_EQ(reading.status, Status::NoBarcode);
    EXPECT_EQ(readingMessage(blank, reading), QStringLiteral("文件中没有可识别的公文条码：blank.pdf"));

    DocumentRecord row = sampleOutgoingRow("D-12");
    GbkString twelve = BarcodePayload::buildPayload(row);
    twelve.erase(0, twelve.find('^') + 1); // the version's value gone: 12 values
    for (const GbkString& foreign : {twelve, m_payload.substr(0, m_payload.size() - 1)}) {
        reading = readBarcodeFile(file(QStringLiteral("foreign.pdf"), pdfOfPages({{symbolImage(foreign)}})));
        EXPECT_EQ(reading.status, Status::NoBarcode);
        EXPECT_EQ(reading.symbolsFound, 1);
        EXPECT_FALSE(reading.reason.isEmpty());
    }
}

TEST_F(FileBarcodeReaderTest, LooksOnlyAtTheFirstPages)
{
    std::vector<std::vector<QImage>> pages(4);
    pages[3] = {symbolImage(m_payload)};
    const QString path = file(QStringLiteral("late.pdf"), pdfOfPages(pages));
    EXPECT_EQ(readBarcodeFile(path).status, Status::NoBarcode);
    FileReaderLimits fourPages;
    fourPages.pdfPages = 4;
    EXPECT_EQ(readBarcodeFile(path, fourPages).status, Status::Payload);

    // 500 pages: three of them are looked at.
    const QString thick = file(QStringLiteral("thick.pdf"), pdfOfPages(std::vector<std::vector<QImage>>(500)));
    EXPECT_EQ(readBarcodeFile(thick).status, Status::NoBarcode);
}

TEST_F(FileBarcodeReaderTest, StopsAtTheTimeLimit)
{
    FileReaderLimits none;
    none.timeLimit = std::chrono::milliseconds(0);
    const QString path = file(QStringLiteral("slow.pdf"), pdfOfPages({{symbolImage(m_payload)}}));
    const FileReading reading = readBarcodeFile(path, none);
    EXPECT_EQ(reading.status, Status::TimedOut);
    EXPECT_EQ(readingMessage(path, reading), QStringLiteral("读取文件超过 10 秒，已停止：slow.pdf"));
}

struct BadFile
{
    const char* name;
    std::function<QString(const QDir&)> make; // the file's path
    const char* reason;
};

class BadFiles : public ::testing::TestWithParam<BadFile>
{
};

TEST_P(BadFiles, AreRefusedByName)
{
    QTemporaryDir folder;
    const QString path = GetParam().make(QDir(folder.path()));
    const FileReading reading = readBarcodeFile(path);
    EXPECT_EQ(reading.status, Status::Unreadable);
    EXPECT_EQ(reading.reason, QString::fromUtf8(GetParam().reason));
    EXPECT_TRUE(readingMessage(path, reading).contains(QFileInfo(path).fileName()));
    EXPECT_TRUE(reading.payload.empty());
}

QString written(const QDir& folder, const QString& name, const QByteArray& bytes)
{
    const QString path = folder.filePath(name);
    writeBytes(path, bytes);
    return path;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadFiles,
    ::testing::Values(
        BadFile{
            "CorruptPdf",
            [](const QDir& d) { return written(d, QStringLiteral("坏.pdf"), "%PDF-1.4\n\x01\x02 garbage 1 0 obj <<"); },
            "PDF 文件已损坏，无法打开"},
        BadFile{"EncryptedPdf", [](const QDir& d) { return written(d, QStringLiteral("locked.pdf"), encryptedPdf()); },
                "PDF 文件已加密，无法读取"},
        BadFile{"HugePicture",
                [](const QDir& d) { return written(d, QStringLiteral("huge.png"), pngHeader(20000, 20000)); },
                "图片太大（20000 × 20000 像素）"},
        BadFile{"TruncatedPicture",
                [](const QDir& d) { return written(d, QStringLiteral("cut.png"), pngHeader(100, 100)); },
                "图片已损坏，无法读取"},
        BadFile{"PlainText", [](const QDir& d) { return written(d, QStringLiteral("note.txt"), "hello"); },
                "不是 PDF 文件或 PNG、JPEG、TIFF、BMP 图片"},
        BadFile{"Fifo",
                [](const QDir& d) {
                    const QString path = d.filePath(QStringLiteral("pipe.pdf"));
                    ::mkfifo(QFile::encodeName(path).constData(), 0600);
                    return path;
                },
                "不是普通文件（文件夹、管道或设备）"},
        BadFile{"Folder",
                [](const QDir& d) {
                    d.mkdir(QStringLiteral("folder.pdf"));
                    return d.filePath(QStringLiteral("folder.pdf"));
                },
                "不是普通文件（文件夹、管道或设备）"},
        BadFile{"SymbolicLink",
                [](const QDir& d) {
                    const QString target =
                        written(d, QStringLiteral("real.pdf"), pdfOfPages({{symbolImage(trickyPayload("L-1"))}}));
                    QFile::link(target, d.filePath(QStringLiteral("link.pdf")));
                    return d.filePath(QStringLiteral("link.pdf"));
                },
                "文件是符号链接，请选原文件"},
        BadFile{"Missing", [](const QDir& d) { return d.filePath(QStringLiteral("gone.pdf")); },
                "文件不存在或无法访问"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

} // namespace
