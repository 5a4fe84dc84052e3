#pragma once

#include "db/DocumentRecord.h"
#include "platform/Gbk.h"

#include <array>
#include <string_view>

namespace regdesk {

// A scan holds the barcode's values, each closed by "^". At most this many
// are kept; anything beyond (two scans run together, noise) is dropped.
inline constexpr std::size_t kMaxScanFields = 15;
using ScanFields = std::array<GbkString, kMaxScanFields>;
// The value that holds the document number (发文号).
inline constexpr std::size_t kScanNumberPosition = 4;

// Splits at every "^" that stands on a GBK character boundary: the text
// before each one is the next value; what follows the last "^" (the "|" of
// the end mark, stray bytes) is discarded.
ScanFields splitScan(std::string_view text);

// The number of values in the desk's own payload: thirteen, then the empty
// value before the end mark.
inline constexpr std::size_t kPayloadFields = 13;

// True when `text` read whole from a barcode (not gathered from the port) is
// one payload of the desk: exactly thirteen values, each closed by "^", then
// the end mark "^|" and at most a line end. A text without the end mark, with
// fewer or more values, or with bytes behind the mark is some other barcode's.
bool isWholePayload(std::string_view text);

// The register row of a scanned document: the values go back to their list
// columns, and the remarks take value 13 followed by `dateText`.
DocumentRecord recordFromScan(const ScanFields& fields, const GbkString& dateText);

// Year, then month and day as two digits each: 2024, 3, 5 -> "20240305".
GbkString eightDigitDate(int year, int month, int day);

} // namespace regdesk
