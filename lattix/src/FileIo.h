#pragma once

#include "Bytes.h"

#include <cstddef>
#include <optional>
#include <string>

namespace lattix {

// Reads at most maxBytes bytes from the start of the file; nullopt when it cannot be opened.
std::optional<Bytes> readFileHead(const std::string& path, std::size_t maxBytes);

// Creates or overwrites the file with exactly these bytes; false when any step fails.
bool writeWholeFile(const std::string& path, ByteView bytes);

} // namespace lattix
