#pragma once

#include <cstdint>

namespace lattix {

// Bar-space patterns of the three clusters (index 0 = cluster 0, 1 = cluster 3, 2 = cluster 6) for
// codewords 0..928, as 17-module bit patterns: bit 16 is the leftmost module, 1 = bar (always starts with a bar).
// Generated from the ISO/IEC 15438 codeword table by tools/make_codeword_table.py.
extern const std::uint32_t kCodewordPatterns[3][929];

} // namespace lattix
