#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace regdesk {

// The processes that have the file open, found by device and inode under
// /proc (this process included). Processes whose descriptors cannot be read,
// those of other users for instance, are not seen. Empty when the file itself
// cannot be looked at.
std::vector<pid_t> processesHoldingFile(const std::string& nativePath, const std::string& procRoot = "/proc");

} // namespace regdesk
