#pragma once

#include "Bytes.h"

#include <vector>

namespace lattix {

// PDF417 mode latch and shift codewords (ISO/IEC 15438).
enum ModeCodeword : int
{
    kLatchText = 900,
    kLatchByte = 901,
    kLatchNumeric = 902,
    kShiftByte = 913,
    kLatchByteSix = 924,
};

// Turns bytes into PDF417 data codewords with text, numeric and byte compaction (ISO/IEC 15438),
// cutting the input into segments by the library's own rule: a run of 14 or more digits is worth numeric
// compaction, and a run of 8 or more text characters is worth leaving byte compaction for.
// The result holds the data codewords only; the length descriptor that precedes them is the layout's.
std::vector<int> encodeHighLevel(ByteView data);

} // namespace lattix
