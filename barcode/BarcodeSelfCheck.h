#pragma once

#include "platform/DeskNotice.h"
#include "platform/Gbk.h"

#include <optional>
#include <string_view>

namespace regdesk {

class SettingsFile;

// The desk reads every barcode picture back before it leaves the desk: the
// file as it lies on disk is read with the desk's own metafile reader, its
// symbol decoded, and the bytes compared with those the desk handed to the
// encoder. Each function gives nullopt when the check passed, else the
// reason (GBK) for the clerk.
namespace BarcodeSelfCheck {

// 条码自检 of [发文设置]: on unless it reads "否" (an office whose machines
// are too slow may switch it off).
bool isEnabled(const SettingsFile& settings);

// The picture file at `path` (an enhanced metafile), read as the regular
// file it must be; a link standing at that name is refused, not followed.
std::optional<GbkString> checkPictureFile(const GbkString& path, std::string_view expected);

// The same for the bytes of an enhanced metafile.
std::optional<GbkString> checkEnhancedMetafile(std::string_view file, std::string_view expected);

// Where decoded bytes differ from the expected ones; nullopt when equal.
std::optional<GbkString> difference(std::string_view decoded, std::string_view expected);

// "条码自检失败" and the reason, for the clerk.
DeskNotice failureNotice(const GbkString& reason);

} // namespace BarcodeSelfCheck
} // namespace regdesk
