#include "app/PictureVerify.h"

#include "barcode/BarcodeSelfCheck.h"
#include "barcode/MetafileReader.h"
#include "barcode/Pdf417Decoder.h"
#include "platform/FileSystem.h"
#include "scanner/ScanFields.h"

#include <QImage>
#include <array>
#include <optional>

namespace regdesk {
namespace {

// Pictures and payloads are small; this keeps a wrong argument from filling memory.
constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20;

constexpr std::array<const char*, 13> kFieldNames = {"版本",     "制码号",   "发文单位", "文种",     "发文号",
                                                     "主送",     "标题",     "密级",     "紧急程度", "成文日期",
                                                     "发布层次", "制码单位", "制码时间"};

// The symbol's bytes, or why there are none (UTF-8).
struct Decoded
{
    std::optional<std::string> bytes;
    std::string failure;
};

Decoded decodeFile(const std::string& bytes)
{
    using MetafileReader::Format;
    if (bytes.empty())
        return {std::nullopt, "文件为空"};
    const std::optional<Format> format = MetafileReader::formatOf(bytes);
    MetafileReader::Picture picture;
    if (format == Format::EnhancedMetafile) {
        picture = MetafileReader::readEnhancedMetafile(bytes);
    } else if (format == Format::WindowsMetafile) {
        picture = MetafileReader::readWindowsMetafile(bytes);
    } else if (format == Format::Bitmap) {
        picture = MetafileReader::readBitmapFile(bytes);
    } else {
        QImage image;
        if (!image.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size())))
            return {std::nullopt, "not a picture this command reads (EMF, WMF, BMP, PNG, JPEG)"};
        image = image.convertToFormat(QImage::Format_Grayscale8);
        MetafileReader::GreyImage grey;
        grey.width = image.width();
        grey.height = image.height();
        grey.pixels.reserve(static_cast<std::size_t>(grey.width) * static_cast<std::size_t>(grey.height));
        for (int y = 0; y < image.height(); ++y)
            grey.pixels.insert(grey.pixels.end(), image.constScanLine(y), image.constScanLine(y) + image.width());
        picture.image = std::move(grey);
    }
    if (!picture.image)
        return {std::nullopt, gbkToUtf8(picture.failure)};
    std::optional<std::string> decoded = Pdf417Decoder::decode(*picture.image, Pdf417Decoder::Modules::AnySize);
    if (!decoded)
        return {std::nullopt, "no PDF417 symbol could be decoded"};
    return {std::move(decoded), {}};
}

std::string describe(const std::string& decoded)
{
    // CR and LF shown as \r and \n: the payload ends in them, and the text stays one line.
    std::string shown;
    for (const char c : gbkToUtf8(decoded))
        shown += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
    std::string text = "  text: " + shown + "\n";
    const ScanFields fields = splitScan(decoded);
    for (std::size_t i = 0; i < kFieldNames.size(); ++i)
        text += "  " + std::to_string(i + 1) + " " + kFieldNames[i] + ": " + gbkToUtf8(fields[i]) + "\n";
    return text;
}

} // namespace

AdminResult verifyCommand(const std::vector<std::string>& arguments)
{
    AdminResult result;
    std::vector<std::string> files;
    std::optional<std::string> payloadFile;
    bool wellFormed = true;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] != "--payload")
            files.push_back(arguments[i]);
        else if (i + 1 < arguments.size() && !payloadFile)
            payloadFile = arguments[++i];
        else
            wellFormed = false; // a second payload file, or none after the option
    }
    if (files.empty() || !wellFormed) {
        result.exitCode = 64;
        result.errors = "usage: regdesk-admin verify FILE... [--payload TEXTFILE]\n";
        return result;
    }
    std::optional<std::string> expected;
    if (payloadFile) {
        expected = readRegularFile(fromNativePath(*payloadFile), kMaxFileBytes);
        if (!expected) {
            result.exitCode = 1;
            result.errors = "regdesk-admin: cannot read the payload file " + *payloadFile + "\n";
            return result;
        }
    }

    for (const std::string& file : files) {
        const std::optional<std::string> bytes = readRegularFile(fromNativePath(file), kMaxFileBytes);
        const Decoded decoded = bytes ? decodeFile(*bytes) : Decoded{std::nullopt, "cannot read the file"};
        if (!decoded.bytes) {
            result.exitCode = 1;
            result.output += file + ": " + decoded.failure + "\n";
            continue;
        }
        std::string verdict = "decoded";
        if (expected) {
            const std::optional<GbkString> difference = BarcodeSelfCheck::difference(*decoded.bytes, *expected);
            verdict = difference ? "does not match: " + gbkToUtf8(*difference) : "matches the payload";
            if (difference)
                result.exitCode = 1;
        }
        result.output += file + ": " + verdict + "\n" + describe(*decoded.bytes);
    }
    return result;
}

} // namespace regdesk
