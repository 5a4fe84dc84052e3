// Incoming documents from files: a one-page PDF from the drop to its list row
// (goal under 300 ms), a photo of a page, and regdesk-admin intake of a folder
// of 50 mixed files into a fresh data.db, twice (goal under 15 s). Figures only.
#include "FakeRegisters.h"
#include "FakeRegistrationView.h"
#include "IntakeFixtures.h"
#include "IntakeFolder.h"
#include "app/AdminCommands.h"
#include "bench/BenchSupport.h"
#include "desk/FileIntake.h"
#include "desk/IncomingRegistration.h"
#include "intake/FileBarcodeReader.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>

using namespace regdesk;
using namespace regdesk::test;

namespace {

constexpr int kRounds = 15;

// From handing the file over to the row in the list, `kRounds` times.
void dropToRow(const QString& path, const char* what)
{
    bench::PrintingPrompter prompter;
    FakeRegisterStore registered;
    std::vector<double> times;
    for (int round = 0; round < kRounds; ++round) {
        FakeRegistrationView view;
        IncomingRegistration incoming(view, prompter, registered);
        FileIntake files(view, prompter, incoming.intake());
        QElapsedTimer timer;
        timer.start();
        files.takeFiles({path});
        times.push_back(bench::milliseconds(timer));
        if (view.list.rowCount() != 1)
            std::fprintf(stderr, "%s: no row\n", what);
    }
    std::printf("%-34s median %7.1f ms  min %7.1f ms  max %7.1f ms  (goal < 300 ms)\n", what, bench::median(times),
                *std::min_element(times.begin(), times.end()), *std::max_element(times.begin(), times.end()));
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QTemporaryDir work;
    const GbkString payload = trickyPayload("京法〔2026〕88号"_gbk);
    const QString pdf = QDir(work.path()).filePath(QStringLiteral("one-page.pdf"));
    writeBytes(pdf, pdfOfPages({{symbolImage(payload)}}));
    const QString photo = QDir(work.path()).filePath(QStringLiteral("photo.jpg"));
    writeBytes(photo, roughJpeg(pageImage({symbolImage(payload)}, 2)));
    const QString secondPage = QDir(work.path()).filePath(QStringLiteral("page-two.pdf"));
    writeBytes(secondPage, pdfOfPages({{}, {symbolImage(payload)}}));

    dropToRow(pdf, "one-page PDF, drop to row");
    dropToRow(secondPage, "barcode on page 2, drop to row");
    dropToRow(photo, "JPEG photo at 60 %, drop to row");

    const QString desk = QDir(work.path()).filePath(QStringLiteral("desk"));
    const QString folder = QDir(work.path()).filePath(QStringLiteral("files"));
    QDir().mkpath(desk);
    QDir().mkpath(folder);
    const IntakeFolderContents made = makeIntakeFolder(folder);
    if (runAdminCommand({"init", desk.toStdString()}).exitCode != 0) {
        std::fprintf(stderr, "cannot make data.db\n");
        return 1;
    }
    for (const char* run : {"first run", "second run (all registered)"}) {
        QElapsedTimer timer;
        timer.start();
        const AdminResult result = runAdminCommand({"intake", desk.toStdString(), folder.toStdString()});
        const double seconds = bench::milliseconds(timer) / 1000;
        // The summary: the last lines, from "registered: N" on.
        const std::string tail = result.output.substr(result.output.rfind("\nregistered: ") + 1);
        std::printf("regdesk-admin intake, %d files, %-28s %6.2f s  (goal < 15 s)\n", made.files, run, seconds);
        for (std::size_t from = 0; from < tail.size();) {
            const std::size_t end = tail.find('\n', from);
            std::printf("    %s\n", tail.substr(from, end - from).c_str());
            from = end == std::string::npos ? tail.size() : end + 1;
        }
    }
    return 0;
}
