#pragma once

#include "platform/Gbk.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <string_view>
#include <vector>

namespace regdesk::test {

// Pages and pictures of incoming documents, made in the tests: the desk's own
// symbols on A4 pages at 200 dpi, two pixels a module.

// The symbol of `data` as the encoder draws it, scaled to two pixels a module
// and six a row.
QImage symbolImage(std::string_view data);

// A whole payload whose title holds GBK characters with "^" (區, 85 5E) and
// "|" (81 7C) as their second byte.
GbkString trickyPayload(const GbkString& number);

// An A4 PDF (QPdfWriter, 200 dpi): page i holds the symbols of pages[i], one
// under the other from the top left; an empty list is a blank page.
QByteArray pdfOfPages(const std::vector<std::vector<QImage>>& pages);

// The same A4 page as a white picture with the symbols, at 200 dpi times `scale`.
QImage pageImage(const std::vector<QImage>& symbols, int scale = 1);

// The page as a phone takes it: turned by 3 degrees, scaled to 60 %, with
// noise, saved as JPEG at quality 50.
QByteArray roughJpeg(const QImage& page);

// A PDF whose only user password is unknown: Poppler opens it locked.
QByteArray encryptedPdf();

// A PNG of width x height pixels whose pixel data breaks off at once.
QByteArray pngHeader(int width, int height);

bool writeBytes(const QString& path, const QByteArray& bytes);

} // namespace regdesk::test
