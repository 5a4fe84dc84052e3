#include "PictureDecoder.h"

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <ZXing/ReadBarcode.h>
#include <vector>

namespace regdesk::test {
namespace {

bool runTool(const QString& program, const QStringList& arguments, std::string& why)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        why = program.toStdString() + " failed: " + process.readAllStandardError().toStdString();
        return false;
    }
    return true;
}

} // namespace

std::string missingRenderers()
{
    std::string missing;
    for (const char* tool : {"emf2svg-conv", "rsvg-convert"}) {
        if (QStandardPaths::findExecutable(QString::fromUtf8(tool)).isEmpty())
            missing += std::string(missing.empty() ? "" : ", ") + tool;
    }
    return missing;
}

std::optional<std::string> decodeEmfPicture(const std::string& emfPath, std::string& why)
{
    QTemporaryDir work;
    const QString svg = work.filePath(QStringLiteral("picture.svg"));
    const QString png = work.filePath(QStringLiteral("picture.png"));
    if (!runTool(QStringLiteral("emf2svg-conv"),
                 {QStringLiteral("-i"), QString::fromStdString(emfPath), QStringLiteral("-o"), svg}, why))
        return std::nullopt;
    // Four times the picture's size, on white: the symbol is small on screen.
    if (!runTool(QStringLiteral("rsvg-convert"),
                 {QStringLiteral("-z"), QStringLiteral("4"), QStringLiteral("-b"), QStringLiteral("white"),
                  QStringLiteral("-o"), png, svg},
                 why))
        return std::nullopt;

    QImage image;
    if (!image.load(png)) {
        why = "the PNG could not be read";
        return std::nullopt;
    }
    // A quiet zone around the symbol, which the encoder does not draw.
    const int margin = 40;
    QImage grey(image.width() + 2 * margin, image.height() + 2 * margin, QImage::Format_Grayscale8);
    grey.fill(255);
    const QImage source = image.convertToFormat(QImage::Format_Grayscale8);
    for (int y = 0; y < source.height(); ++y)
        std::copy_n(source.constScanLine(y), source.width(), grey.scanLine(y + margin) + margin);

    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::PDF417);
    hints.setTryHarder(true);
    const ZXing::ImageView view(grey.constBits(), grey.width(), grey.height(), ZXing::ImageFormat::Lum,
                                static_cast<int>(grey.bytesPerLine()));
    const ZXing::Results results = ZXing::ReadBarcodes(view, hints);
    if (results.empty() || !results.front().isValid()) {
        why = "no PDF417 symbol found in a " + std::to_string(image.width()) + "x" + std::to_string(image.height()) +
              " rendering";
        return std::nullopt;
    }
    const ZXing::ByteArray& bytes = results.front().bytes();
    return std::string(bytes.begin(), bytes.end());
}

} // namespace regdesk::test
