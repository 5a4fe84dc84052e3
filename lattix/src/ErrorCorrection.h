#pragma once

#include <span>
#include <vector>

namespace lattix {

// Reed-Solomon error correction over GF(929), as ISO/IEC 15438 defines it for PDF417.

// The 2^(level+1) check codewords for the data codewords, in the order in which they follow the data.
std::vector<int> computeErrorCorrection(std::span<const int> data, int level);

// Number of check codewords of a level.
constexpr int errorCorrectionCount(int level)
{
    return 2 << level;
}

} // namespace lattix
