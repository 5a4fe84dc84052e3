#include "IntakeFixtures.h"

#include "SymbolPictures.h"
#include "TestRecords.h"
#include "barcode/BarcodePayload.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QTransform>
#include <random>

namespace regdesk::test {
namespace {

constexpr int kDpi = 200;
constexpr int kModuleWidth = 2;
constexpr int kRowHeight = 6;
// A4 at 200 dpi.
constexpr QSize kPagePixels(1654, 2339);
constexpr int kMargin = 200;
constexpr int kGap = 150;

void drawSymbols(QPainter& painter, const std::vector<QImage>& symbols)
{
    int top = kMargin;
    for (const QImage& symbol : symbols) {
        painter.drawImage(QPoint(kMargin, top), symbol);
        top += symbol.height() + kGap;
    }
}

} // namespace

QImage symbolImage(std::string_view data)
{
    const std::string bitmap = symbolBitmap(data);
    QImage symbol;
    symbol.loadFromData(QByteArray::fromStdString(bitmap), "BMP");
    return symbol.convertToFormat(QImage::Format_RGB32)
        .scaled(symbol.width() * kModuleWidth, symbol.height() * kRowHeight, Qt::IgnoreAspectRatio,
                Qt::FastTransformation);
}

GbkString trickyPayload(const GbkString& number)
{
    DocumentRecord row = sampleOutgoingRow(number);
    row[DocumentRecord::Title] = "關於"_gbk + "\x85\x5E\x81\x7C" + "的通知"_gbk;
    return BarcodePayload::buildPayload(row);
}

QByteArray pdfOfPages(const std::vector<std::vector<QImage>>& pages)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(kDpi);
    QPainter painter(&writer);
    for (std::size_t page = 0; page < pages.size(); ++page) {
        if (page > 0)
            writer.newPage();
        drawSymbols(painter, pages[page]);
    }
    painter.end();
    return bytes;
}

QImage pageImage(const std::vector<QImage>& symbols, int scale)
{
    QImage page(kPagePixels * scale, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.scale(scale, scale);
    drawSymbols(painter, symbols);
    return page;
}

QByteArray roughJpeg(const QImage& page)
{
    QTransform turn;
    turn.rotate(3);
    QImage picture = page.transformed(turn, Qt::SmoothTransformation);
    picture = picture.scaled(picture.size() * 0.6, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                  .convertToFormat(QImage::Format_RGB32);
    // The corners the turn opened are black: paper lies on a dark desk.
    std::mt19937 random(24);
    std::normal_distribution<double> noise(0.0, 12.0);
    for (int y = 0; y < picture.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            const int grey = std::clamp(qGray(line[x]) + static_cast<int>(noise(random)), 0, 255);
            line[x] = qRgb(grey, grey, grey);
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "JPEG", 50);
    return bytes;
}

QByteArray encryptedPdf()
{
    const QByteArray hash(32, '\x5A');
    const std::vector<QByteArray> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] >>",
        "<< /Filter /Standard /V 1 /R 2 /O <" + hash.toHex() + "> /U <" + hash.toHex() + "> /P -4 >>",
    };
    QByteArray pdf = "%PDF-1.4\n";
    std::vector<qsizetype> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += QByteArray::number(static_cast<int>(i + 1)) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(static_cast<int>(objects.size() + 1)) + "\n0000000000 65535 f \n";
    for (const qsizetype offset : offsets)
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    const QByteArray id = QByteArray(16, '\x11').toHex();
    pdf += "trailer\n<< /Size " + QByteArray::number(static_cast<int>(objects.size() + 1)) +
           " /Root 1 0 R /Encrypt 4 0 R /ID [<" + id + "> <" + id + ">] >>\nstartxref\n" + QByteArray::number(xref) +
           "\n%%EOF\n";
    return pdf;
}

QByteArray pngHeader(int width, int height)
{
    const auto bigEndian = [](quint32 value) {
        QByteArray bytes(4, '\0');
        for (int byte = 0; byte < 4; ++byte)
            bytes[byte] = static_cast<char>((value >> (8 * (3 - byte))) & 0xFF);
        return bytes;
    };
    const auto crc32 = [](const QByteArray& bytes) {
        quint32 crc = 0xFFFFFFFF;
        for (const char byte : bytes) {
            crc ^= static_cast<quint8>(byte);
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
        }
        return ~crc;
    };
    const auto chunk = [&](const QByteArray& typeAndData) {
        return bigEndian(static_cast<quint32>(typeAndData.size() - 4)) + typeAndData + bigEndian(crc32(typeAndData));
    };
    // 8-bit RGB, no interlace; the pixel data starts (a zlib header) and breaks off.
    return QByteArray("\x89PNG\r\n\x1a\n", 8) +
           chunk("IHDR" + bigEndian(static_cast<quint32>(width)) + bigEndian(static_cast<quint32>(height)) +
                 QByteArray("\x08\x02\x00\x00\x00", 5)) +
           chunk(QByteArray("IDAT\x78\x9c", 6));
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace regdesk::test
