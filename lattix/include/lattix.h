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
/* A string of length bytes copied from bytes (zeros when bytes is NULL); NULL when out of memory. */
LATTIX_API BSTR LATTIX_CALL SysAllocStringByteLen(const char* bytes, UINT length);
/* The byte length stored before the string; 0 for NULL. */
LATTIX_API UINT LATTIX_CALL SysStringByteLen(BSTR text);
/* Frees a string of this library; NULL is ignored. */
LATTIX_API void LATTIX_CALL SysFreeString(BSTR text);
#endif

/*
 * Encoding. Both calls encode into a PDF417 symbol with the settings of section [PDF] of the settings
 * file, read afresh at every call, and write TempPdf.bmp, TempCode.txt, TempPdf.emf and TempPdf.wmf
 * into the current folder. On success they return a 128-byte string that starts with "TempPdf.bmp"
 * (zero bytes after it); on failure (no input, a symbol of 929 or more codewords, or TempPdf.bmp not
 * writable) a string of length 0, and no other output file is touched (a TempPdf.bmp whose writing
 * broke off part way may be left incomplete). A dump or metafile that cannot be written is skipped.
 * Not re-entrant: calls must not overlap.
 */

/* Encodes up to three files as one block: the text part (first 2702 bytes), the image and other
 * parts (each whole, or left out when the total would reach 2702 bytes), then an 8-byte trailer:
 * the other, image and text lengths as 16-bit little-endian numbers, 'N' and 0xFF. A NULL or empty
 * path, or one starting with a byte of 0x80 or above, leaves its part out. */
LATTIX_API BSTR LATTIX_CALL MakePdf417(const char* text, const char* image, const char* other);

/* Encodes the first 2710 bytes of one file, unchanged. */
LATTIX_API BSTR LATTIX_CALL Lattix(const char* path);

/* Names the settings file for all later calls (at most 255 bytes are kept; the start is "EnCode.ini").
 * A name without a folder is looked up in the current folder. Always returns 0. */
LATTIX_API int LATTIX_CALL SetConFile(const char* name);

/* --- Scan reader ------------------------------------------------------------------------------- */
/*
 * A reader thread listens to a barcode scanner on the serial port named by Port of section [SCAN]
 * (default "COM1", which names /dev/ttyS0 on POSIX, COM2 /dev/ttyS1 and so on; a name starting with
 * "/" is a device path) at Baudrate (default 9600), 8N1. A scan ends after 200 ms without a byte, or
 * after 6144 bytes without a pause. Each scan replaces temp.txt, temp.img and temp.oth, named by the
 * folder text joined directly with these names: an 8-byte trailer as MakePdf417 writes it splits the
 * scan into the three parts, anything else (a final CR dropped) goes whole into temp.txt. Then the
 * host is notified with WM_KEYDOWN, key code 255.
 *
 * On POSIX the window is a file descriptor open for writing (a pipe or socket), cast to the handle:
 * (HWND)(intptr_t)fd. Each notification writes one 12-byte record there: the little-endian 32-bit
 * values 0x0100, 255 and 0; a record that does not fit into the descriptor at once is dropped.
 */
#if defined(_WIN32)
#include <windows.h>
#else
typedef void* HWND;
#endif

/* Starts the reader: 0 started; 1 when one runs already (nothing changes), the handle is NULL, the
 * folder is NULL or longer than 255 bytes, or the port cannot be opened or set up (then
 * "无法打开 <port> ", GBK, goes to stderr where Windows shows a message box). */
LATTIX_API int LATTIX_CALL InitRead(HWND window, const char* folder);

/* Stops the reader, waiting at most 5000 ms for its thread: 0 stopped, 1 none was running. May be
 * called from another thread than InitRead. */
LATTIX_API int LATTIX_CALL CloseRead(void);
/* ----------------------------------------------------------------------------------------------- */

#ifdef __cplusplus
}
#endif

#endif /* LATTIX_H */
