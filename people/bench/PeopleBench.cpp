// Times the personnel import of 5,000 names and the name completion per
// keystroke on the table it leaves, then reads the largest sheet an .xls can
// claim. Prints figures beside their goals; asserts nothing.
//
//     regdesk_people_bench [names]
#include "bench/BenchSupport.h"
#include "db/AdoDatabase.h"
#include "db/AdoRecordset.h"
#include "db/RegisterDatabaseFile.h"
#include "db/RegisterStatements.h"
#include "people/CompletionEdit.h"
#include "people/PeopleImport.h"
#include "people/PinyinIndex.h"
#include "people/SpreadsheetFile.h"
#include "platform/FileSystem.h"
#include "platform/OfficeConverter.h"
#include "platform/Prompter.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <vector>

namespace {

using namespace regdesk;
using namespace regdesk::bench;

long peakRssMegabytes()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// Distinct made-up names of two and three characters, in GBK.
std::vector<GbkString> generatedNames(int count)
{
    const std::vector<GbkString> surnames = {"张"_gbk, "王"_gbk, "李"_gbk, "赵"_gbk, "刘"_gbk,   "陈"_gbk,  "杨"_gbk,
                                             "黄"_gbk, "周"_gbk, "吴"_gbk, "徐"_gbk, "孙"_gbk,   "马"_gbk,  "朱"_gbk,
                                             "胡"_gbk, "郭"_gbk, "何"_gbk, "林"_gbk, "欧阳"_gbk, "司马"_gbk};
    const GbkString given = "伟芳娜敏静丽强磊军洋勇艳杰涛明超秀霞平刚桂英华玉兰萍红娟建国文辉力"_gbk;
    std::vector<GbkString> names;
    for (std::size_t i = 0; names.size() < static_cast<std::size_t>(count); ++i) {
        const GbkString& surname = surnames[i % surnames.size()];
        const std::size_t characters = given.size() / 2;
        const std::size_t first = (i / surnames.size()) % characters;
        const std::size_t second = (i / surnames.size() / characters) % (characters + 1);
        GbkString name = surname + given.substr(first * 2, 2);
        if (second > 0)
            name += given.substr((second - 1) * 2, 2);
        names.push_back(name);
    }
    return names;
}

// The names as a flat OpenDocument sheet, for LibreOffice to turn into an .xls.
std::string flatSheet(const std::vector<GbkString>& names)
{
    std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2"
 office:mimetype="application/vnd.oasis.opendocument.spreadsheet"><office:body><office:spreadsheet>
<table:table table:name="Sheet1">
)";
    const auto row = [&xml](const std::string& utf8) {
        xml += "<table:table-row><table:table-cell office:value-type=\"string\"><text:p>" + utf8 +
               "</text:p></table:table-cell></table:table-row>\n";
    };
    row("姓名");
    for (const GbkString& name : names)
        row(gbkToUtf8(name));
    return xml + "</table:table></office:spreadsheet></office:body></office:document>\n";
}

void timeImport(const char* what, PeopleImport& import, const GbkString& path, int names)
{
    std::vector<double> runs;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer timer;
        timer.start();
        const PeopleImport::Outcome outcome = import.importFile(path);
        runs.push_back(milliseconds(timer));
        if (outcome.imported != names)
            std::fprintf(stderr, "%s: imported %d of %d names\n", what, outcome.imported, names);
    }
    std::printf("import %d names from %-14s median %8.1f ms   (goal < 2000 ms; 5 runs, min %.1f)\n", names, what,
                median(runs), *std::min_element(runs.begin(), runs.end()));
}

// The keystrokes of a clerk typing a few names, each run through the completion.
void timeKeystrokes(CompletionEdit& edit)
{
    const std::vector<std::string> typed = {"z", "zw", "zwf", "l", "li", "oy", "oym", "sm", "smw", "h", "hg", "w"};
    const std::vector<GbkString> chinese = {"张"_gbk, "伟"_gbk, "欧"_gbk, "阳"_gbk, "明"_gbk, "李"_gbk, "娜"_gbk};
    std::vector<double> runs;
    double slowest = 0;
    std::string slowestText;
    int slowestRows = 0;
    const auto keystroke = [&](const GbkString& text) {
        QElapsedTimer timer;
        timer.start();
        edit.setText(QString::fromStdString(gbkToUtf8(text)));
        QApplication::processEvents();
        runs.push_back(milliseconds(timer));
        if (runs.back() > slowest) {
            slowest = runs.back();
            slowestText = gbkToUtf8(text);
            slowestRows = edit.dropDown()->rowCount();
        }
    };
    for (int round = 0; round < 10; ++round) {
        for (const std::string& word : typed)
            keystroke(word);
        GbkString text;
        for (const GbkString& character : chinese) {
            text += character;
            keystroke(text);
        }
    }
    std::printf("completion per keystroke (%zu keys):  median %8.2f ms   (goal < 10 ms)\n", runs.size(), median(runs));
    std::printf("slowest keystroke: \"%s\", %.2f ms, listing %d people\n", slowestText.c_str(), slowest, slowestRows);

    std::vector<double> everyone;
    for (int i = 0; i < 5; ++i) {
        edit.setText(QStringLiteral("张"));
        QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        edit.clear(); // an empty field lists every person
        QApplication::processEvents();
        everyone.push_back(milliseconds(timer));
    }
    std::printf("emptying the field (lists all %d):   median %8.2f ms\n", edit.dropDown()->rowCount(),
                median(everyone));
}

// An .xls whose worksheet claims the whole A1:IV65536 range: the most a
// workbook can make the reader hold.
void timeLargestSheet(const GbkString& folder)
{
    std::optional<std::string> workbook = readWholeFile(REGDESK_SOURCE_DIR "/tests/data/people/people.xls");
    const std::size_t dimension = workbook ? workbook->find(std::string("\x00\x02\x0E\x00", 4)) : std::string::npos;
    if (dimension == std::string::npos) {
        std::printf("largest sheet: skipped (fixture not found)\n");
        return;
    }
    const unsigned char claim[] = {0,    0,    0, 0, 0x00, 0x00,
                                   0x01, 0x00, 0, 0, 0x00, 0x01}; // rows 0..65536, columns 0..256
    workbook->replace(dimension + 4, sizeof claim, reinterpret_cast<const char*>(claim), sizeof claim);
    const GbkString path = joinPath(folder, "largest.xls");
    writeWholeFile(path, *workbook);

    const long before = peakRssMegabytes();
    QElapsedTimer timer;
    timer.start();
    SpreadsheetFile sheet(path, "sheet1");
    const double read = milliseconds(timer);
    std::printf("largest sheet (%d rows x %d columns): %8.1f ms, peak RSS %ld MB (before: %ld MB)\n", sheet.totalRows(),
                sheet.totalColumns(), read, peakRssMegabytes(), before);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5000;

    QTemporaryDir folder;
    const GbkString desk = fromNativePath(folder.path().toStdString());
    if (const QString failure = createRegisterDatabase(QDir(folder.path()).filePath(QStringLiteral("data.db")));
        !failure.isEmpty()) {
        std::fprintf(stderr, "cannot create the database: %s\n", failure.toLocal8Bit().constData());
        return 1;
    }
    PrintingPrompter prompter;
    AdoDatabase database(prompter);
    if (!database.openConnection(AdoDatabase::connectionStringFor(desk)))
        return 1;
    AdoDatabase::setActiveConnection(database.connection());

    const std::vector<GbkString> names = generatedNames(count);
    GbkString text = "姓名"_gbk + "\r\n";
    for (const GbkString& name : names)
        text += name + "\r\n";
    const GbkString textPath = joinPath(desk, "names.txt");
    writeWholeFile(textPath, text);

    SqlPeopleTable table;
    OfficeConverter converter;
    PeopleImport import(prompter, nullptr, table, &PinyinIndex::initials, converter);
    timeImport("a text file:", import, textPath, count);

    if (converter.isAvailable()) {
        const GbkString flat = joinPath(desk, "names.fods");
        writeWholeFile(flat, flatSheet(names));
        const OfficeConverter::Result sheet = converter.convert(flat, "xls:MS Excel 97", desk);
        if (sheet.converted)
            timeImport("an .xls:", import, sheet.outputPath, count);
        else
            std::printf("import from an .xls: skipped (%s)\n", sheet.reason.c_str());
    } else {
        std::printf("import from an .xls: skipped (soffice is not installed)\n");
    }

    QDialog form;
    auto* layout = new QVBoxLayout(&form);
    auto* edit = new CompletionEdit(&form);
    layout->addWidget(edit);
    form.resize(400, 80);
    form.show();
    AdoRecordset people;
    if (!people.openQuery(RegisterStatements::selectPeople()))
        return 1;
    edit->createDropDown(&form);
    edit->setAbbreviationSearch(true);
    edit->setSource(people);
    edit->setDisplayColumn("姓名"_gbk);
    timeKeystrokes(*edit);

    timeLargestSheet(desk);
    AdoDatabase::setActiveConnection(nullptr);
    return 0;
}
