#include "intake/FileBarcodeReader.h"

#include "barcode/MetafileReader.h"
#include "barcode/Pdf417Decoder.h"
#include "platform/FileSystem.h"
#include "scanner/ScanFields.h"

#include <QBuffer>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <algorithm>
#include <cmath>
#include <memory>
#include <poppler-qt6.h>
#include <sys/stat.h>

namespace regdesk {
namespace {

using Status = FileReading::Status;

constexpr double kPointsPerInch = 72.0;
// Where a PDF's "%PDF-" may stand (some writers put bytes before it).
constexpr qsizetype kPdfMarkWindow = 1024;

FileReading unreadable(QString reason)
{
    FileReading reading;
    reading.status = Status::Unreadable;
    reading.reason = std::move(reason);
    return reading;
}

FileReading timedOut()
{
    FileReading reading;
    reading.status = Status::TimedOut;
    return reading;
}

MetafileReader::GreyImage greyOf(const QImage& picture)
{
    const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    MetafileReader::GreyImage image;
    if (grey.isNull())
        return image;
    image.width = grey.width();
    image.height = grey.height();
    image.pixels.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y)
        std::copy_n(grey.constScanLine(y), image.width,
                    image.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width));
    return image;
}

// The symbols of a picture, sorted into the reading: the first whole payload wins.
bool takeSymbols(const QImage& picture, FileReading& reading)
{
    for (std::string& bytes : Pdf417Decoder::decodeAll(greyOf(picture))) {
        ++reading.symbolsFound;
        if (isWholePayload(bytes)) {
            reading.status = Status::Payload;
            reading.payload = std::move(bytes);
            return true;
        }
    }
    return false;
}

void explainNoPayload(FileReading& reading)
{
    if (reading.status == Status::NoBarcode && reading.symbolsFound > 0)
        reading.reason = QStringLiteral("条码内容不是公文条码（缺少结束符\"^|\"或不是 13 项）");
}

bool pastDeadline(const QVariant& deadline)
{
    return QDeadlineTimer::current().deadlineNSecs() >= deadline.toLongLong();
}

FileReading readPdf(const QByteArray& bytes, const FileReaderLimits& limits, const QDeadlineTimer& deadline)
{
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::loadFromData(bytes);
    if (!document || (!document->isLocked() && document->numPages() <= 0))
        return unreadable(QStringLiteral("PDF 文件已损坏，无法打开"));
    if (document->isLocked())
        return unreadable(QStringLiteral("PDF 文件已加密，无法读取"));
    document->setRenderHint(Poppler::Document::Antialiasing, true);
    const QVariant deadlineNs = QVariant::fromValue(deadline.deadlineNSecs());

    FileReading reading;
    const int pages = std::min(document->numPages(), limits.pdfPages);
    for (int index = 0; index < pages; ++index) {
        const std::unique_ptr<Poppler::Page> page = document->page(index);
        if (!page)
            continue;
        const QSizeF points = page->pageSizeF();
        if (!(points.width() > 0 && points.height() > 0))
            continue;
        double rendered = 0;
        for (const double wanted : {limits.firstDpi, limits.retryDpi}) {
            if (deadline.hasExpired())
                return timedOut();
            // A page far larger than paper is rendered coarser, within the pixel bound.
            const double pixelsAtOneDpi = points.width() * points.height() / (kPointsPerInch * kPointsPerInch);
            const double dpi = std::min(wanted, std::sqrt(static_cast<double>(limits.maxPixels) / pixelsAtOneDpi));
            if (dpi <= rendered)
                break;
            rendered = dpi;
            const QImage image = page->renderToImage(
                dpi, dpi, -1, -1, -1, -1, Poppler::Page::Rotate0, nullptr, nullptr,
                [](const QVariant& closure) { return pastDeadline(closure); }, deadlineNs);
            if (deadline.hasExpired())
                return timedOut();
            const int before = reading.symbolsFound;
            if (!image.isNull() && takeSymbols(image, reading))
                return reading;
            // Symbols that were read but hold no payload are not read better finer.
            if (reading.symbolsFound > before)
                break;
        }
    }
    explainNoPayload(reading);
    return reading;
}

FileReading readPicture(const QByteArray& bytes, const FileReaderLimits& limits, const QDeadlineTimer& deadline)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const QByteArray format = QImageReader::imageFormat(&buffer);
    static const QList<QByteArray> kFormats = {"png", "jpeg", "tiff", "bmp"};
    if (!kFormats.contains(format))
        return unreadable(QStringLiteral("不是 PDF 文件或 PNG、JPEG、TIFF、BMP 图片"));
    QImageReader reader(&buffer, format);
    reader.setAutoTransform(true);
    // The size from the header, before a single pixel is decoded.
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return unreadable(QStringLiteral("图片已损坏，无法读取"));
    if (static_cast<std::int64_t>(size.width()) * size.height() > limits.maxPixels)
        return unreadable(QStringLiteral("图片太大（%1 × %2 像素）").arg(size.width()).arg(size.height()));
    const QImage image = reader.read();
    if (image.isNull())
        return unreadable(QStringLiteral("图片已损坏，无法读取"));
    if (deadline.hasExpired())
        return timedOut();
    FileReading reading;
    takeSymbols(image, reading);
    if (deadline.hasExpired() && reading.status != Status::Payload)
        return timedOut();
    explainNoPayload(reading);
    return reading;
}

} // namespace

FileReading readBarcodeFile(const QString& path, const FileReaderLimits& limits)
{
    const QDeadlineTimer deadline(limits.timeLimit);
    const std::string native = QFile::encodeName(path).toStdString();
    struct stat info
    {
    };
    if (::lstat(native.c_str(), &info) != 0)
        return unreadable(QStringLiteral("文件不存在或无法访问"));
    if (S_ISLNK(info.st_mode))
        return unreadable(QStringLiteral("文件是符号链接，请选原文件"));
    if (!S_ISREG(info.st_mode))
        return unreadable(QStringLiteral("不是普通文件（文件夹、管道或设备）"));
    if (static_cast<std::uint64_t>(info.st_size) > limits.maxFileBytes)
        return unreadable(QStringLiteral("文件太大（超过 %1 MB）").arg(limits.maxFileBytes >> 20));
    // Judged again on what is opened: a name swapped meanwhile is not followed.
    const std::optional<std::string> bytes = readRegularNativeFile(native, limits.maxFileBytes, FileLinks::Refuse);
    if (!bytes)
        return unreadable(QStringLiteral("无法读取文件"));
    // Not copied: the reading ends before `bytes` goes.
    const QByteArray data = QByteArray::fromRawData(bytes->data(), static_cast<qsizetype>(bytes->size()));
    FileReading reading = data.left(kPdfMarkWindow).contains("%PDF-") ? readPdf(data, limits, deadline)
                                                                      : readPicture(data, limits, deadline);
    return reading;
}

QString readingMessage(const QString& path, const FileReading& reading)
{
    const QString name = QFileInfo(path).fileName();
    switch (reading.status) {
    case Status::Payload:
        return {};
    case Status::NoBarcode:
        return QStringLiteral("文件中没有可识别的公文条码：%1").arg(name) +
               (reading.reason.isEmpty() ? QString() : QStringLiteral("\n") + reading.reason);
    case Status::Unreadable:
        return QStringLiteral("文件无法读取：%1\n%2").arg(name, reading.reason);
    case Status::TimedOut:
        return QStringLiteral("读取文件超过 10 秒，已停止：%1").arg(name);
    }
    return {};
}

} // namespace regdesk
