#pragma once

#include "platform/Gbk.h"

#include <QString>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace regdesk {

// How far the reading of one file may go.
struct FileReaderLimits
{
    // A PDF is read from page 1 up to this many pages.
    int pdfPages = 3;
    // Two pixels a module for the symbols the desk's encoder makes; a page
    // where nothing is found is rendered once more, finer.
    double firstDpi = 200;
    double retryDpi = 300;
    // One file never takes longer; the work stops at the next check.
    std::chrono::milliseconds timeLimit{10000};
    // The file is read into memory whole, and rendering and decoding are
    // bounded by the size of a picture in pixels (A4 at 300 dpi is 8.7 million).
    std::size_t maxFileBytes = std::size_t{256} << 20;
    std::int64_t maxPixels = 40'000'000;
};

// What the barcode of one file gave.
struct FileReading
{
    enum class Status
    {
        Payload,    // `payload` is a whole payload of the desk
        NoBarcode,  // read, but no symbol holds such a payload
        Unreadable, // not read at all: `reason` says why
        TimedOut,   // stopped at the time limit
    };

    Status status = Status::NoBarcode;
    GbkString payload;
    // Why, in Chinese: for Unreadable, and for NoBarcode when symbols were
    // found but none held a payload of the desk.
    QString reason;
    // Symbols decoded, valid or not.
    int symbolsFound = 0;
};

// Reads the barcode of a PDF (pages rendered with Poppler) or a picture (PNG,
// JPEG, TIFF, BMP) named by `path`. The file must be a regular file that is
// not a symbolic link; what it is, is judged by its bytes, not its name. The
// first decoded symbol that holds a whole payload counts; others are ignored.
// Runs on any thread; it shows nothing.
FileReading readBarcodeFile(const QString& path, const FileReaderLimits& limits = {});

// The clerk's message for a file that gave no payload, naming the file.
QString readingMessage(const QString& path, const FileReading& reading);

} // namespace regdesk
