#pragma once

#include "Bytes.h"
#include "ThreePartBlock.h"

#include <optional>

namespace lattix {

// The input of Lattix(): the first 2710 bytes of the file, unchanged; nullopt when the file cannot be
// opened or is empty.
std::optional<Bytes> readSingleFileInput(const char* path);

// The block of MakePdf417(): a part is read only when its path's first byte, as a signed char, is
// above 0; a part that cannot be read is left out.
ThreePartBlock readThreePartInput(const char* textPath, const char* imagePath, const char* otherPath);

} // namespace lattix
