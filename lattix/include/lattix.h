/*
 * Lattix: PDF417 symbols from bytes, and a serial scan reader.
 *
 * C interface. Strings handed back are BSTR-style byte strings: on POSIX the
 * library exports the allocator trio below, laid out as on Windows (a 32-bit
 * byte length just before the pointed-to bytes, two zero bytes after them).
 * Free every returned string with SysFreeString.
 */
#ifndef LATTIX_H
#define LATTIX_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define LATTIX_CALL __stdcall
#if defined(LATTIX_BUILDING)
#define LATTIX_API __declspec(dllexport)
#else
#define LATTIX_API __declspec(dllimport)
#endif
#else
#define LATTIX_CALL
#define LATTIX_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#include <oleauto.h>
#else
typedef char* BSTR;
typedef uint32_t UINT;
LATTIX_API BSTR LATTIX_CALL SysAllocStringByteLen(const char* bytes, UINT length);
LATTIX_API UINT LATTIX_CALL SysStringByteLen(BSTR text);
LATTIX_API void LATTIX_CALL SysFreeString(BSTR text);
#endif

#ifdef __cplusplus
}
#endif

#endif /* LATTIX_H */
