// Times the outgoing registration's two slow roads: 生成条码 up to the picture
// in the output folder (with the real pdf417 program and a real data.db; with
// and without the self-check, and the check's own cost), and numbering and
// saving on a register of 100,000 rows (or as many as the second argument
// says). Prints medians; asserts nothing.
//
//     regdesk_outgoing_bench [pdf417 program [registrations]]
#include "barcode/BarcodePayload.h"
#include "barcode/BarcodeSelfCheck.h"
#include "barcode/EncoderHandoff.h"
#include "bench/BenchSupport.h"
#include "db/AdoDatabase.h"
#include "db/RegisterDatabaseFile.h"
#include "db/RegisterStatements.h"
#include "desk/DeskStartup.h"
#include "desk/DocumentNumbering.h"
#include "desk/ModeSwitch.h"
#include "desk/OutgoingRegistration.h"
#include "desk/RegistrationDialog.h"
#include "desk/RegistrationEvents.h"
#include "desk/RegistrationFormLogic.h"
#include "desk/RegistrationSaver.h"
#include "desk/SqlOutgoingRegister.h"
#include "desk/SqlRegisterStore.h"
#include "platform/Clock.h"
#include "platform/DesktopOpener.h"
#include "platform/FileSystem.h"
#include "platform/ProcessLauncher.h"
#include "platform/ProcessList.h"
#include "platform/Prompter.h"
#include "settings/AppPaths.h"
#include "settings/SettingsFile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

using namespace regdesk;
using namespace regdesk::bench;
using BenchClock = std::chrono::steady_clock;

namespace {

double milliseconds(BenchClock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

void printFigures(const char* what, std::vector<double> samples, double goal)
{
    std::sort(samples.begin(), samples.end());
    const double median = samples[samples.size() / 2];
    std::printf("%-58s median %8.2f ms  min %8.2f  max %8.2f  (%zu runs, goal < %.0f ms)\n", what, median,
                samples.front(), samples.back(), samples.size(), goal);
}

DocumentRecord outgoingRow(int serial)
{
    DocumentRecord row;
    row[DocumentRecord::Number] = "法〔2026〕"_gbk + std::to_string(serial) + "号"_gbk;
    row[DocumentRecord::Title] = "关于某某案件审理情况的通知"_gbk;
    row[DocumentRecord::Secrecy] = "无"_gbk;
    row[DocumentRecord::Kind] = "通知"_gbk;
    row[DocumentRecord::Recipient] = "各庭室"_gbk;
    row[DocumentRecord::IssuingUnit] = "某某人民法院"_gbk;
    row[DocumentRecord::Urgency] = "无"_gbk;
    row[DocumentRecord::DocumentDate] = "20260305";
    row[DocumentRecord::CodeNumber] = "FY26" + std::to_string(100000 + serial);
    row[DocumentRecord::CodeUnit] = "某某人民法院办公室"_gbk;
    row[DocumentRecord::CodeDate] = "20260312";
    row[DocumentRecord::Version] = "GB0626-2005";
    row.barcodeMade = "是"_gbk;
    return row;
}

// 生成条码 to picture: hand-off, the encoder, pick-up with the save into data.db.
void benchmarkBarcode(const GbkString& folder, const std::string& encoder, int tickMs, const char* label)
{
    PosixProcessLauncher launcher;
    ProcProcessList processes;
    SteadyClock clock;
    SqlRegisterStore store;
    std::vector<double> samples;
    // Each call registers numbers of its own: a number registered before would be refused.
    static int nextSerial = 900000;
    for (int run = 0; run < 20; ++run) {
        const SettingsFile settings(joinPath(folder, "document.ini"));
        DocumentRecord row = outgoingRow(nextSerial++);
        EncoderHandoff handoff(folder, launcher, processes, clock);

        const auto start = BenchClock::now();
        if (const std::optional<DeskNotice> failure = handoff.start(BarcodePayload::buildPayload(row), settings)) {
            std::fprintf(stderr, "the hand-off failed: %s\n", gbkToUtf8(failure->text).c_str());
            return;
        }
        EncoderHandoff::State state = EncoderHandoff::State::Waiting;
        while ((state = handoff.poll().state) == EncoderHandoff::State::Waiting)
            std::this_thread::sleep_for(std::chrono::milliseconds(tickMs));
        if (state != EncoderHandoff::State::Ready) {
            std::fprintf(stderr, "the encoder gave up (%s)\n", encoder.c_str());
            return;
        }
        const EncoderHandoff::PickUp pickUp =
            handoff.pickUp(SettingsFile(joinPath(folder, "document.ini")), row[DocumentRecord::Number],
                           [&] { return store.insert(RegisterStatements::outgoingTable(), row, true, false); });
        const auto end = BenchClock::now();
        if (!pickUp.pictureWritten) {
            std::fprintf(stderr, "no picture written\n");
            return;
        }
        samples.push_back(milliseconds(end - start));
    }
    printFigures(label, samples, 250);
}

// The self-check alone: the desk's picture of a registration read back from
// disk, decoded and compared.
void benchmarkSelfCheck(const GbkString& folder)
{
    const GbkString output = joinPath(folder, "输出"_gbk);
    const GbkString picture = joinPath(output, outgoingRow(900000)[DocumentRecord::Number] + ".emf");
    const std::string expected = BarcodePayload::exchangeFileText(BarcodePayload::buildPayload(outgoingRow(900000)));
    if (!fileExists(picture)) {
        std::fprintf(stderr, "no picture to check\n");
        return;
    }
    std::vector<double> samples;
    for (int run = 0; run < 20; ++run) {
        const auto start = BenchClock::now();
        const std::optional<GbkString> failure = BarcodeSelfCheck::checkPictureFile(picture, expected);
        samples.push_back(milliseconds(BenchClock::now() - start));
        if (failure) {
            std::fprintf(stderr, "the check failed: %s\n", gbkToUtf8(*failure).c_str());
            return;
        }
    }
    printFigures("the self-check alone (read back, decode, compare)", samples, 15);
}

// The desk shows no folder during the run.
class QuietOpener final : public DesktopOpener
{
public:
    bool openFolder(const GbkString&) override { return true; }
    bool openFile(const GbkString&) override { return true; }
};

// Through the form itself: a click on 生成条码, then the event loop until the
// picture is in the output folder (timer 1 ticks every 100 ms).
void benchmarkThroughTheForm(Prompter& prompter, const GbkString& output)
{
    RegistrationDialog form;
    PosixProcessLauncher launcher;
    ProcProcessList processes;
    SteadyClock clock;
    QuietOpener opener;
    SqlRegisterStore store;
    SqlOutgoingRegister register_;
    RegistrationSaver saver(form, prompter, store);
    OutgoingRegistration outgoing(form, prompter, register_, saver, launcher, processes, clock, opener);
    FormStart start;
    form.initialise(start);
    ModeSwitch(form, prompter).showMode(RegistrationMode::Outgoing);
    form.show();
    QApplication::processEvents();
    std::vector<double> samples;
    for (int run = 0; run < 20; ++run) {
        DocumentRecord row = outgoingRow(800000 + run);
        row.barcodeMade.clear();
        form.registerList().listModel().appendRow(RegistrationFormLogic::toListRow(row));
        form.registerList().selectRow(0);
        const GbkString picture = joinPath(output, row[DocumentRecord::Number] + ".emf");

        QElapsedTimer elapsed;
        elapsed.start();
        emit form.events().makeBarcodeRequested();
        while (!fileExists(picture) || outgoing.isEncoderTimerActive()) {
            if (elapsed.elapsed() > 30000) {
                std::fprintf(stderr, "no picture after 30 s\n");
                return;
            }
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        samples.push_back(static_cast<double>(elapsed.nsecsElapsed()) / 1e6);
    }
    printFigures("生成条码 to picture, through the form", samples, 250);
}

void benchmarkNumbering(int rows)
{
    {
        // Registrations of 2026 under one prefix, plus some of other years and prefixes.
        QSqlDatabase database = QSqlDatabase::database(AdoDatabase::activeConnection()->name());
        database.transaction();
        QSqlQuery query(database);
        for (int serial = 1; serial <= rows; ++serial) {
            DocumentRecord row = outgoingRow(serial);
            if (serial % 10 == 0)
                row[DocumentRecord::Number] = "民〔2026〕"_gbk + std::to_string(serial) + "号"_gbk;
            if (serial % 7 == 0)
                row[DocumentRecord::CodeDate] = "20250101";
            query.exec(QString::fromUtf8(
                gbkToUtf8(RegisterStatements::insertOutgoing(RegisterStatements::outgoingTable(), row))));
        }
        database.commit();
    }
    const std::vector<GbkString> prefixes = {"法〔2026〕"_gbk, "民〔2026〕"_gbk};
    const CodeNumberLayout layout{"FY", 2, "2", "6"};
    SqlOutgoingRegister register_;
    std::vector<double> samples;
    NumberingProposal proposal;
    for (int run = 0; run < 20; ++run) {
        const auto start = BenchClock::now();
        proposal = DocumentNumbering::propose(prefixes[0], prefixes, 2026, layout, register_);
        samples.push_back(milliseconds(BenchClock::now() - start));
    }
    std::printf("(last number %s, code number %s)\n", gbkToUtf8(proposal.lastNumber).c_str(),
                gbkToUtf8(proposal.codeNumber).c_str());
    const std::string size = std::to_string(rows);
    printFigures(("numbering on " + size + " rows (choose a prefix)").c_str(), samples, 20);

    // Where the time goes.
    std::vector<double> numbers, title, count;
    for (int run = 0; run < 20; ++run) {
        auto start = BenchClock::now();
        register_.numbersOfYear(2026, prefixes[0]);
        numbers.push_back(milliseconds(BenchClock::now() - start));
        start = BenchClock::now();
        register_.titleOf(proposal.lastNumber);
        title.push_back(milliseconds(BenchClock::now() - start));
        start = BenchClock::now();
        register_.countBarcoded(2026);
        count.push_back(milliseconds(BenchClock::now() - start));
    }
    printFigures("  of which: numbers of the year", numbers, 20);
    printFigures("  of which: title of the last number", title, 20);
    printFigures("  of which: barcodes made this year", count, 20);

    // 保存 of the proposal's registration, as the pick-up does after the picture.
    SqlRegisterStore store;
    std::vector<double> saves;
    for (int run = 0; run < 20; ++run) {
        proposal = DocumentNumbering::propose(prefixes[0], prefixes, 2026, layout, register_);
        DocumentRecord row = outgoingRow(rows + 1 + run);
        row[DocumentRecord::Number] = *DocumentNumbering::nextNumber(proposal.lastNumber);
        row[DocumentRecord::CodeNumber] = proposal.codeNumber;
        const auto start = BenchClock::now();
        const bool replace = store.isRegistered(RegisterStatements::outgoingTable(), row[DocumentRecord::Number]);
        store.insert(RegisterStatements::outgoingTable(), row, true, replace);
        saves.push_back(milliseconds(BenchClock::now() - start));
    }
    std::printf("(last code number saved %s)\n", gbkToUtf8(proposal.codeNumber).c_str());
    printFigures(("save one registration on " + size + " rows").c_str(), saves, 3);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const std::string encoder = argc > 1 ? argv[1] : REGDESK_PDF417_PROGRAM;
    if (!std::filesystem::exists(encoder)) {
        std::fprintf(stderr, "usage: %s [path of the pdf417 program]\n", argv[0]);
        return 2;
    }
    QTemporaryDir work;
    const GbkString folder = fromNativePath(work.path().toStdString());
    std::filesystem::copy_file(encoder, gbkToUtf8(joinPath(folder, "pdf417")));
    const auto writeSettings = [&folder](const char* selfCheck) {
        const std::string settings = "[发文设置]\r\n二维码输出位置=" + gbkToUtf8(joinPath(folder, "输出"_gbk)) +
                                     "\r\n条码自检=" + selfCheck +
                                     "\r\n[PDF]\r\nECCPercent=40\r\nAspect=1:2\r\nWidth=100\r\nHeight=40\r\n";
        writeWholeFile(joinPath(folder, "document.ini"), utf8ToGbk(settings));
    };
    writeSettings("是");
    if (!createRegisterDatabase(QDir(work.path()).filePath(QStringLiteral("data.db"))).isEmpty())
        return 1;

    PrintingPrompter prompter;
    AdoDatabase database(prompter);
    if (!database.openConnection(AdoDatabase::connectionStringFor(folder)))
        return 1;
    AdoDatabase::setActiveConnection(database.connection());
    AppPaths::set(StartupPaths{folder, {}, joinPath(folder, "document.ini")});

    benchmarkThroughTheForm(prompter, joinPath(folder, "输出"_gbk));
    AdoDatabase::setActiveConnection(database.connection());

    benchmarkBarcode(folder, encoder, 100, "生成条码 to picture, polled every 100 ms (timer 1)");
    benchmarkBarcode(folder, encoder, 1, "生成条码 to picture, 1 ms (work alone), checked");
    benchmarkSelfCheck(folder);
    writeSettings("否");
    benchmarkBarcode(folder, encoder, 1, "生成条码 to picture, 1 ms (work alone), unchecked");
    writeSettings("是");
    benchmarkNumbering(argc > 2 ? std::max(1, std::atoi(argv[2])) : 100000);
    AdoDatabase::setActiveConnection(nullptr);
    return 0;
}
