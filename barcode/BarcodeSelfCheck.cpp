#include "barcode/BarcodeSelfCheck.h"

#include "barcode/MetafileReader.h"
#include "barcode/Pdf417Decoder.h"
#include "platform/FileSystem.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsKeys.h"

#include <algorithm>
#include <string>
#include <sys/stat.h>

namespace regdesk::BarcodeSelfCheck {
namespace {

// The desk's pictures are the encoder's bitmap and some 200 bytes.
constexpr std::size_t kMaxPictureBytes = std::size_t{32} << 20;

bool isLink(const GbkString& path)
{
    struct stat info
    {
    };
    return ::lstat(toNativePath(path).c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

} // namespace

bool isEnabled(const SettingsFile& settings)
{
    return settings.getString(SettingsKeys::kBarcodeSelfCheck) != "否"_gbk;
}

std::optional<GbkString> checkPictureFile(const GbkString& path, std::string_view expected)
{
    const std::optional<std::string> file = readRegularFile(path, kMaxPictureBytes, FileLinks::Refuse);
    if (!file)
        return isLink(path) ? "图片位置是一个链接，不是图片文件"_gbk : "图片文件无法读取"_gbk;
    return checkEnhancedMetafile(*file, expected);
}

std::optional<GbkString> checkEnhancedMetafile(std::string_view file, std::string_view expected)
{
    const MetafileReader::Picture picture = MetafileReader::readEnhancedMetafile(file);
    if (!picture.image)
        return picture.failure;
    const std::optional<std::string> decoded = Pdf417Decoder::decode(*picture.image, Pdf417Decoder::Modules::OnePixel);
    if (!decoded)
        return "图片中的条码无法解码"_gbk;
    return difference(*decoded, expected);
}

std::optional<GbkString> difference(std::string_view decoded, std::string_view expected)
{
    if (decoded == expected)
        return std::nullopt;
    const auto [at, unused] = std::mismatch(decoded.begin(), decoded.end(), expected.begin(), expected.end());
    static_cast<void>(unused);
    const auto position = static_cast<std::size_t>(at - decoded.begin()) + 1;
    return "解码内容与登记内容在第"_gbk + std::to_string(position) + "字节处不同（解码"_gbk +
           std::to_string(decoded.size()) + "字节，应为"_gbk + std::to_string(expected.size()) + "字节）"_gbk;
}

DeskNotice failureNotice(const GbkString& reason)
{
    return DeskNotice{"条码自检失败\r\n"_gbk + reason, {}};
}

} // namespace regdesk::BarcodeSelfCheck
