#pragma once

#include "platform/Gbk.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace regdesk {

// The type (文件类型) an attached file is stored with: the text after the last
// "." of its path; the whole path when there is none.
GbkString attachmentType(const GbkString& path);

// The name an attachment is exported under, 发文号 + "." + 文件类型, as a
// native (UTF-8) file name that stays inside the output folder: path
// separators become "_" and so does every "..", so neither a number nor a
// stored type can point elsewhere.
std::string attachmentFileName(const GbkString& number, const GbkString& type);

// Creates the output folder (one level) unless something of that name exists.
// Returns 0 or the errno of the failure.
int ensureOutputFolder(const std::string& nativeFolder);

// Writes `bytes` as `name` in `nativeFolder`, replacing an earlier file of
// that name. The bytes go to a new temporary file first, which then takes
// the name: a link planted at the name is replaced, never written through,
// and a full disk leaves the earlier copy as it was. Returns 0 or an errno.
int writeFileInFolder(const std::string& nativeFolder, const std::string& name, std::string_view bytes);

} // namespace regdesk
