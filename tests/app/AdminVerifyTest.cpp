#include "SymbolPictures.h"
#include "app/AdminCommands.h"
#include "barcode/EmfPicture.h"
#include "platform/FileSystem.h"

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace regdesk;
using namespace regdesk::test;

namespace {

const std::string kPayload = utf8ToGbk("GB0626-2005^FY260001^某某人民法院^通知^法〔2026〕7号^各庭室^关于區的通知^"
                                       "秘密^特急^20260305^公开^办公室^20260312^^|\r\n");

// The symbol as another program would save it: 3 x 6 pixels a module, PNG or JPEG.
std::string photo(const std::string& bitmap, const char* format)
{
    QImage image;
    image.loadFromData(reinterpret_cast<const uchar*>(bitmap.data()), static_cast<int>(bitmap.size()), "BMP");
    image = image.scaled(image.width() * 3, image.height() * 6);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 90);
    return bytes.toStdString();
}

class AdminVerify : public ::testing::Test
{
protected:
    std::string file(const char* name, const std::string& bytes)
    {
        const std::string path = m_dir.filePath(QString::fromUtf8(name)).toStdString();
        EXPECT_TRUE(writeWholeFile(fromNativePath(path), bytes));
        return path;
    }

    QTemporaryDir m_dir;
};

TEST_F(AdminVerify, EveryKindOfPictureDecodesToItsTextAndFields)
{
    const SymbolPictures symbol = drawSymbol(kPayload).value();
    const std::vector<std::string> files = {
        file("desk.emf", EmfPicture::stretchedBitmap(symbol.bitmap, 185, 74).value()),
        file("TempPdf.emf", symbol.enhancedMetafile),
        file("TempPdf.wmf", symbol.windowsMetafile),
        file("TempPdf.bmp", symbol.bitmap),
        file("scan.png", photo(symbol.bitmap, "PNG")),
        file("scan.jpg", photo(symbol.bitmap, "JPEG")),
    };
    std::vector<std::string> arguments = {"verify"};
    arguments.insert(arguments.end(), files.begin(), files.end());
    arguments.insert(arguments.end(), {"--payload", file("TxtTemp.txt", kPayload)});
    const AdminResult result = runAdminCommand(arguments);
    EXPECT_EQ(result.exitCode, 0) << result.output << result.errors;
    for (const std::string& path : files)
        EXPECT_NE(result.output.find(path + ": matches the payload\n"), std::string::npos) << path << result.output;
    EXPECT_NE(result.output.find("  text: GB0626-2005^FY260001^某某人民法院^"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("^20260312^^|\\r\\n\n"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("  5 发文号: 法〔2026〕7号\n"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("  7 标题: 关于區的通知\n"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("  13 制码时间: 20260312\n"), std::string::npos) << result.output;
}

TEST_F(AdminVerify, AnyFileThatDoesNotDecodeOrMatchFailsTheCommand)
{
    const SymbolPictures symbol = drawSymbol(kPayload).value();
    const std::string good = file("good.bmp", symbol.bitmap);
    const std::string payload = file("TxtTemp.txt", kPayload);
    const std::string other = file("other.txt", kPayload.substr(0, kPayload.size() - 2));
    const std::string notPicture = file("notes.txt", "not a picture");
    const std::string empty = file("empty.emf", "");

    const struct
    {
        std::vector<std::string> arguments;
        int exitCode;
        std::string output;
    } cases[] = {
        {{"verify", good}, 0, good + ": decoded\n  text: "},
        {{"verify", good, "--payload", payload}, 0, good + ": matches the payload\n"},
        {{"verify", good, "--payload", other}, 1, good + ": does not match: 解码内容与登记内容在第"},
        {{"verify", good, notPicture}, 1, notPicture + ": not a picture this command reads"},
        {{"verify", empty, good}, 1, empty + ": 文件为空\n" + good + ": decoded\n"},
        {{"verify", m_dir.filePath(QStringLiteral("missing.emf")).toStdString()}, 1, ": cannot read the file\n"},
        {{"verify"}, 64, ""},
        {{"verify", good, "--payload"}, 64, ""},
    };
    for (const auto& [arguments, exitCode, output] : cases) {
        SCOPED_TRACE(arguments.size() > 1 ? arguments[1] : "no file");
        const AdminResult result = runAdminCommand(arguments);
        EXPECT_EQ(result.exitCode, exitCode) << result.output << result.errors;
        EXPECT_NE(result.output.find(output), std::string::npos) << result.output;
    }
}

} // namespace
