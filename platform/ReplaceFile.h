#pragma once

#include "platform/Gbk.h"

#include <string>
#include <string_view>

namespace regdesk {

// Writes `bytes` as the file `path` by way of a new file in the same folder
// that is then renamed over it. A link planted at `path` is replaced, never
// followed, and a full disk or any other failed write leaves the old file as
// it was. On failure `reason` says why (the system's words, without the
// path) and nothing is left behind.
bool replaceFile(const GbkString& path, std::string_view bytes, std::string& reason);

} // namespace regdesk
