#pragma once

#include <string>

namespace regdesk {

// Absolute path of the running executable, links resolved (/proc/self/exe),
// in the file system's encoding; empty if it cannot be read.
std::string runningExecutablePath();

} // namespace regdesk
