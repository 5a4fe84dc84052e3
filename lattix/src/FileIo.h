#pragma once

#include "Bytes.h"

#include <cstddef>
#include <optional>
#include <string>

namespace lattix {

// Reads at most maxBytes bytes from the start of a regular file; nullopt when it cannot be opened or is
// no regular file (a FIFO, a device, a folder). Opening never blocks.
std::optional<Bytes> readFileHead(const std::string& path, std::size_t maxBytes);

// The whole of a regular file of at most maxBytes bytes; nullopt for anything else. Opening never blocks.
std::optional<std::string> readSmallFile(const std::string& path, std::size_t maxBytes);

// Replaces the file with exactly these bytes without writing through whatever stands at its name: the
// bytes go into a new file in the same folder, created exclusively, which is then renamed over the name.
// A link planted there is replaced, never followed; false when any step fails, the old file then kept.
bool writeWholeFile(const std::string& path, ByteView bytes);

} // namespace lattix
