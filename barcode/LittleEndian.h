#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Little-endian fields of the metafiles and bitmaps the desk reads; the
// caller has checked that `at` leaves room for the field.
namespace regdesk::LittleEndian {

inline std::uint16_t u16(std::string_view bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

inline std::uint32_t u32(std::string_view bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

inline std::int16_t i16(std::string_view bytes, std::size_t at)
{
    return static_cast<std::int16_t>(u16(bytes, at));
}

inline std::int32_t i32(std::string_view bytes, std::size_t at)
{
    return static_cast<std::int32_t>(u32(bytes, at));
}

} // namespace regdesk::LittleEndian
