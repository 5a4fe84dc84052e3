#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace lattix {

// Raw bytes as they travel through the encoder: file contents, rendered files.
using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

} // namespace lattix
