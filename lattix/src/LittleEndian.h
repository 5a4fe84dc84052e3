#pragma once

#include "Bytes.h"

#include <cstdint>

namespace lattix {

// Appends little-endian integers, as the Windows file formats store them.
inline void putU16(Bytes& out, std::uint32_t value)
{
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

inline void putU32(Bytes& out, std::uint32_t value)
{
    putU16(out, value & 0xFFFF);
    putU16(out, value >> 16);
}

inline void putI32(Bytes& out, std::int32_t value)
{
    putU32(out, static_cast<std::uint32_t>(value));
}

} // namespace lattix
