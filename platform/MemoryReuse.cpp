#include "platform/MemoryReuse.h"

#include <cstdlib> // defines __GLIBC__ on glibc
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace regdesk {

void keepFreedMemoryForReuse()
{
#if defined(__GLIBC__)
    constexpr int kKeptBytes = 32 * 1024 * 1024;
    mallopt(M_TRIM_THRESHOLD, kKeptBytes);
#endif
}

} // namespace regdesk
