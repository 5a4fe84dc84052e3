#include "barcode/BarcodeSelfCheck.h"

#include "SymbolPictures.h"
#include "TempDeskFolder.h"
#include "barcode/EmfPicture.h"
#include "barcode/MetafileReader.h"
#include "platform/FileSystem.h"
#include "settings/SettingsFile.h"

#include <QImage>
#include <filesystem>
#include <gtest/gtest.h>

namespace regdesk::test {
namespace {

// 乛 (81 5E), 區 (85 5E) and 亅 (81 7C): GBK characters whose second byte is a
// separator or the end mark of the payload.
const GbkString kAsciiPayload = "GB0626-2005^FY260001^UNIT^NOTICE^A-12^ALL^TITLE^^^20260305^^^20260312^^|\r\n";
const GbkString kGbkPayload = "GB0626-2005^FY260001^某某人民法院^通知^法〔2026〕7号^各庭室^关于乛區亅的通知^"
                              "秘密^特急^20260305^公开^办公室^20260312^^|\r\n"_gbk;

// The desk's picture of a symbol: the encoder's bitmap stretched as the pick-up stretches it.
std::string deskPicture(const std::string& bitmap, int width = 185, int height = 74)
{
    return EmfPicture::stretchedBitmap(bitmap, width, height).value_or("");
}

std::uint32_t u32At(const std::string& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

void putU32(std::string& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// The longest text of this character that one symbol with these settings holds.
GbkString longestPayload(const SymbolOptions& options)
{
    std::size_t fits = 1, fails = 4000;
    while (fails - fits > 1) {
        const std::size_t middle = (fits + fails) / 2;
        (drawSymbol(std::string(middle, 'x'), options) ? fits : fails) = middle;
    }
    return std::string(fits, 'x');
}

// Every shape the encoder accepts passes: error-correction levels, columns,
// truncated symbols, aspects and the stretch of the picture.
TEST(BarcodeSelfCheckMatrix, EveryShapeOfSymbolPasses)
{
    SymbolOptions longest;
    longest.eccLevel = "2";
    longest.cols = 30;
    const GbkString longestText = longestPayload(longest);
    ASSERT_GT(longestText.size(), 1000u);

    struct Shape
    {
        SymbolOptions options;
        int width, height;
    };
    std::vector<Shape> shapes;
    for (const char* level : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}) {
        for (int cols : {1, 4, 13, 30}) {
            for (bool truncated : {false, true}) {
                SymbolOptions options;
                options.eccLevel = level;
                options.cols = cols;
                options.truncated = truncated;
                shapes.push_back({options, 185, 74});
            }
        }
    }
    for (const char* aspect : {"1:1", "1:2", "1:4", "3:1"})
        shapes.push_back({SymbolOptions{"9", 40, 0, 0, false, aspect}, 370, 148});
    for (const auto& [width, height] : {std::pair{37, 15}, std::pair{1850, 740}, std::pair{185, -74}})
        shapes.push_back({SymbolOptions{}, width, height});
    shapes.push_back({longest, 185, 74});

    int checked = 0;
    bool longestChecked = false;
    for (const GbkString& payload : {kAsciiPayload, kGbkPayload, longestText}) {
        for (const Shape& shape : shapes) {
            const std::optional<SymbolPictures> symbol = drawSymbol(payload, shape.options);
            if (!symbol)
                continue; // more than this shape holds
            SCOPED_TRACE(payload.substr(0, 12) + " level " + shape.options.eccLevel + ", " +
                         std::to_string(symbol->rows) + " x " + std::to_string(symbol->cols) +
                         (shape.options.truncated ? " truncated" : "") + ", aspect " + shape.options.aspect +
                         ", stretched to " + std::to_string(shape.width) + " x " + std::to_string(shape.height));
            EXPECT_EQ(BarcodeSelfCheck::checkEnhancedMetafile(deskPicture(symbol->bitmap, shape.width, shape.height),
                                                              payload),
                      std::nullopt);
            ++checked;
            longestChecked = longestChecked || payload == longestText;
        }
    }
    EXPECT_GT(checked, 150);
    EXPECT_TRUE(longestChecked);
}

// The pictures the encoder itself writes read back pixel for pixel as Qt
// reads its bitmap: the reader is not tested only against itself.
TEST(MetafileReader, ReadsTheEncodersPicturesAsQtReadsTheBitmap)
{
    for (const SymbolOptions& options : {SymbolOptions{}, SymbolOptions{"0", 40, 3, 1, true, "1:2"}}) {
        const std::optional<SymbolPictures> symbol = drawSymbol(kGbkPayload, options);
        ASSERT_TRUE(symbol);
        QImage expected;
        ASSERT_TRUE(expected.loadFromData(reinterpret_cast<const uchar*>(symbol->bitmap.data()),
                                          static_cast<int>(symbol->bitmap.size()), "BMP"));
        expected = expected.convertToFormat(QImage::Format_Grayscale8);
        const std::pair<const char*, MetafileReader::Picture> pictures[] = {
            {"desk EMF", MetafileReader::readEnhancedMetafile(deskPicture(symbol->bitmap))},
            {"encoder EMF", MetafileReader::readEnhancedMetafile(symbol->enhancedMetafile)},
            {"encoder WMF", MetafileReader::readWindowsMetafile(symbol->windowsMetafile)},
            {"encoder BMP", MetafileReader::readBitmapFile(symbol->bitmap)},
        };
        for (const auto& [what, picture] : pictures) {
            SCOPED_TRACE(what);
            ASSERT_TRUE(picture.image) << gbkToUtf8(picture.failure);
            ASSERT_EQ(picture.image->width, expected.width());
            ASSERT_EQ(picture.image->height, expected.height());
            for (int y = 0; y < expected.height(); ++y) {
                for (int x = 0; x < expected.width(); ++x)
                    ASSERT_EQ(picture.image->at(x, y), expected.constScanLine(y)[x]) << x << "," << y;
            }
        }
    }
}

struct FailureCase
{
    const char* name;
    // The good picture on disk at `path` becomes a bad one.
    std::function<void(const std::string& path, std::string& picture)> spoil;
    const char* reason; // UTF-8
};

class BarcodeSelfCheckFailures : public ::testing::TestWithParam<FailureCase>
{
};

// EC level 0 cannot mend a damaged codeword.
std::string weakSymbolBitmap(const GbkString& payload)
{
    return drawSymbol(payload, SymbolOptions{"0", 0, 0, 4, false, "1:2"}).value().bitmap;
}

TEST_P(BarcodeSelfCheckFailures, IsCaughtWithItsReason)
{
    TempDeskFolder folder;
    const GbkString path = joinPath(folder.gbkPath(), "法〔2026〕7号.emf"_gbk);
    std::string picture = deskPicture(weakSymbolBitmap(kGbkPayload));
    ASSERT_EQ(BarcodeSelfCheck::checkEnhancedMetafile(picture, kGbkPayload), std::nullopt);
    GetParam().spoil(toNativePath(path), picture);
    if (!std::filesystem::is_symlink(toNativePath(path))) {
        ASSERT_TRUE(writeWholeFile(path, picture));
    }

    const std::optional<GbkString> failure = BarcodeSelfCheck::checkPictureFile(path, kGbkPayload);
    ASSERT_TRUE(failure);
    EXPECT_EQ(gbkToUtf8(*failure), GetParam().reason);
    EXPECT_EQ(gbkToUtf8(BarcodeSelfCheck::failureNotice(*failure).text),
              std::string("条码自检失败\r\n") + GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, BarcodeSelfCheckFailures,
    ::testing::Values(
        FailureCase{"OneModuleFlippedInEveryRow",
                    [](const std::string&, std::string& picture) {
                        // The same module of the first data codeword in every row of the bitmap
                        // the metafile carries (its pixel rows come last): more damaged codewords
                        // than the two check codewords of level 0 can mend.
                        const MetafileReader::Picture read = MetafileReader::readEnhancedMetafile(picture);
                        const std::size_t stride = (static_cast<std::size_t>(read.image->width) + 31) / 32 * 4;
                        const std::size_t pixels = picture.size() - 20 - stride * read.image->height;
                        const std::size_t x = 17 + 17 + 2;
                        for (int row = 0; row < read.image->height; ++row) {
                            char& byte = picture[pixels + stride * static_cast<std::size_t>(row) + x / 8];
                            byte = static_cast<char>(byte ^ (0x80 >> (x % 8)));
                        }
                    },
                    "图片中的条码无法解码"},
        FailureCase{"AnotherPayload",
                    [](const std::string&, std::string& picture) {
                        GbkString other = kGbkPayload;
                        other[40] = 'X';
                        picture = deskPicture(weakSymbolBitmap(other));
                    },
                    "解码内容与登记内容在第41字节处不同（解码121字节，应为121字节）"},
        FailureCase{"ShorterPayload",
                    [](const std::string&, std::string& picture) {
                        picture = deskPicture(weakSymbolBitmap(kGbkPayload.substr(0, kGbkPayload.size() - 2)));
                    },
                    "解码内容与登记内容在第120字节处不同（解码119字节，应为121字节）"},
        FailureCase{"TruncatedFile",
                    [](const std::string&, std::string& picture) { picture.resize(picture.size() / 2); }, "文件不完整"},
        FailureCase{"UnknownRecord",
                    [](const std::string&, std::string& picture) {
                        // An EMR_GDICOMMENT before the end record, the header counting it.
                        const std::string comment("\x46\0\0\0\x0C\0\0\0\0\0\0\0", 12);
                        picture.insert(picture.size() - 20, comment);
                        putU32(picture, 48, u32At(picture, 48) + 12);
                        putU32(picture, 52, u32At(picture, 52) + 1);
                    },
                    "未知的图元记录（类型 70）"},
        FailureCase{"ZeroSize", [](const std::string&, std::string& picture) { picture.clear(); }, "文件为空"},
        FailureCase{"EmptyRectangle",
                    [](const std::string&, std::string& picture) {
                        picture = deskPicture(weakSymbolBitmap(kGbkPayload), 0, 0);
                    },
                    "图片尺寸为零"},
        FailureCase{"LinkInTheOutputFolder",
                    [](const std::string& path, std::string& picture) {
                        // A link to a good picture of the very payload is refused all the same.
                        const std::string target = path + ".elsewhere";
                        ASSERT_TRUE(writeWholeFile(fromNativePath(target), picture));
                        std::filesystem::create_symlink(target, path);
                    },
                    "图片位置是一个链接，不是图片文件"}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST(BarcodeSelfCheckSetting, OnUnlessItSaysNo)
{
    const std::pair<const char*, bool> cases[] = {
        {"", true},
        {"[发文设置]\n条码自检=是\n", true},
        {"[发文设置]\n条码自检=否\n", false},
        {"[发文设置]\n条码自检=否;旧机器太慢\n", false},
        {"[发文设置]\n条码自检= 否\n", true}, // a blank belongs to the value: not "否"
        {"[发文设置]\n条码自检=\n", true},
    };
    for (const auto& [text, enabled] : cases) {
        SCOPED_TRACE(text);
        TempDeskFolder folder;
        folder.writeSettings(text);
        EXPECT_EQ(BarcodeSelfCheck::isEnabled(SettingsFile(joinPath(folder.gbkPath(), "document.ini"))), enabled);
    }
}

} // namespace
} // namespace regdesk::test
