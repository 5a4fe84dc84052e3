// The BSTR allocator that stands in for the Windows one: a 32-bit byte length just before the
// returned pointer and two zero bytes after the content.
#include "lattix.h"

#if !defined(_WIN32)

#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t kLengthPrefixBytes = sizeof(UINT);
constexpr std::size_t kTerminatorBytes = 2;

} // namespace

extern "C" {

LATTIX_API BSTR LATTIX_CALL SysAllocStringByteLen(const char* bytes, UINT length)
{
    // malloc rather than new: the string crosses the C interface and is freed by SysFreeString.
    void* block = std::malloc(kLengthPrefixBytes + std::size_t{length} + kTerminatorBytes);
    if (!block)
        return nullptr;
    auto* base = static_cast<char*>(block);
    std::memcpy(base, &length, kLengthPrefixBytes);
    char* text = base + kLengthPrefixBytes;
    if (bytes)
        std::memcpy(text, bytes, length);
    else
        std::memset(text, 0, length);
    std::memset(text + length, 0, kTerminatorBytes);
    return text;
}

LATTIX_API UINT LATTIX_CALL SysStringByteLen(BSTR text)
{
    if (!text)
        return 0;
    UINT length = 0;
    std::memcpy(&length, text - kLengthPrefixBytes, kLengthPrefixBytes);
    return length;
}

LATTIX_API void LATTIX_CALL SysFreeString(BSTR text)
{
    if (text)
        std::free(text - kLengthPrefixBytes);
}

} // extern "C"

#endif
