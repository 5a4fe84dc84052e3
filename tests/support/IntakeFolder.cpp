#include "IntakeFolder.h"

#include "IntakeFixtures.h"
#include "TestRecords.h"
#include "barcode/BarcodePayload.h"

#include <QDir>
#include <QFile>
#include <sys/stat.h>

namespace regdesk::test {

IntakeFolderContents makeIntakeFolder(const QString& folder, const QString& registeredNumber)
{
    const QDir dir(folder);
    IntakeFolderContents made;
    const auto put = [&](const QString& name, const QByteArray& bytes) {
        writeBytes(dir.filePath(name), bytes);
        ++made.files;
    };
    for (int i = 1; i <= 20; ++i) {
        const QString number = QStringLiteral("N-%1").arg(i, 2, 10, QLatin1Char('0'));
        const QByteArray pdf = pdfOfPages({{symbolImage(trickyPayload(number.toStdString()))}});
        put(QStringLiteral("收文%1.pdf").arg(number), pdf);
        if (i <= 5)
            put(QStringLiteral("copy-%1.pdf").arg(number), pdf);
    }
    for (int i = 1; i <= 5; ++i)
        put(QStringLiteral("photo-%1.jpg").arg(i),
            roughJpeg(pageImage({symbolImage(trickyPayload(QStringLiteral("P-%1").arg(i).toStdString()))}, 2)));
    made.payloads = 30;
    made.numbers = 25;
    if (!registeredNumber.isEmpty()) {
        put(QStringLiteral("registered.pdf"),
            pdfOfPages({{symbolImage(trickyPayload(registeredNumber.toStdString()))}}));
        ++made.payloads;
        ++made.numbers;
    }
    GbkString twelve = BarcodePayload::buildPayload(sampleOutgoingRow("F-1"));
    twelve.erase(0, twelve.find('^') + 1);
    while (made.files < 50 - 7) {
        const bool blank = made.noBarcode % 2 == 0;
        put(QStringLiteral("other-%1.pdf").arg(made.noBarcode),
            blank ? pdfOfPages({{}}) : pdfOfPages({{symbolImage(twelve)}}));
        ++made.noBarcode;
    }
    for (int i = 0; i < 3; ++i)
        put(QStringLiteral("corrupt-%1.pdf").arg(i), "%PDF-1.7\n% cut short " + QByteArray::number(i));
    put(QStringLiteral("readme.txt"), "not a document");
    put(QStringLiteral("list.csv"), "a,b\n");
    ::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe.pdf"))).constData(), 0600);
    ++made.files;
    QFile::link(dir.filePath(QStringLiteral("收文N-01.pdf")), dir.filePath(QStringLiteral("link.pdf")));
    ++made.files;
    made.unreadable = 7;
    return made;
}

} // namespace regdesk::test
