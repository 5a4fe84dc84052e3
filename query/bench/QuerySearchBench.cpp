// The query window on generated registers of 100,000 and 1,000,000 records:
// fuzzy searches of two terms with about 100, 1,000 and 10,000 hits and exact
// searches on 标题 (time until the list shows them), the custom sort of
// 10,000 rows, a 50 MB attachment stored and exported, and the memory the
// process uses. Not a test: it prints figures and asserts nothing.
//
//     regdesk_query_bench [records ...]     (default: 100000 1000000)
#include "bench/BenchSupport.h"
#include "db/AdoDatabase.h"
#include "db/RegisterDatabaseFile.h"
#include "db/SearchIndex.h"
#include "db/SqliteRegisterSearch.h"
#include "list/RegisterListCtrl.h"
#include "platform/DesktopOpener.h"
#include "platform/GbkQt.h"
#include "platform/Prompter.h"
#include "query/AttachmentTransfer.h"
#include "query/CustomSortKey.h"
#include "query/QueryDialog.h"
#include "settings/SettingsFile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace regdesk;
using namespace regdesk::bench;

class NoDesktop final : public DesktopOpener
{
public:
    bool openFolder(const GbkString&) override { return true; }
    bool openFile(const GbkString&) override { return true; }
};

// VmRSS and VmHWM of this process, in MB.
std::pair<double, double> memoryMegabytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    double rss = 0;
    double peak = 0;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            rss = std::stod(line.substr(6)) / 1024;
        if (line.rfind("VmHWM:", 0) == 0)
            peak = std::stod(line.substr(6)) / 1024;
    }
    return {rss, peak};
}

bool generate(const QSqlDatabase& database, int records)
{
    QSqlQuery insert(database);
    insert.prepare(
        QStringLiteral("INSERT INTO 发文登记表 (发文号, 标题, 密级, 文种, 主送, 发布层次, 发文单位, 紧急程度, "
                       "成文日期, 制码号, 制码单位, 制码时间, 版本, 备注, 条码已打) "
                       "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    if (!QSqlDatabase(database).transaction())
        std::fprintf(stderr, "no transaction\n");
    for (int i = 0; i < records; ++i) {
        const std::uint64_t r = mixed(static_cast<std::uint64_t>(i));
        const int year = 2005 + i % 20;
        const std::string number = std::string(kPrefixes[(r >> 8) % kPrefixes.size()]) + "〔" + std::to_string(year) +
                                   "〕" + std::to_string(i / 20 + 1) + "号";
        const std::string title = "关于" + subject(r >> 16) + "工作的通知（" + std::to_string((r >> 24) % 1000) + "）";
        const std::string date = std::to_string(year) + "0" + std::to_string(1 + i % 9) + "1" + std::to_string(i % 10);
        const QVariantList values = {
            QString::fromUtf8(number),
            QString::fromUtf8(title),
            QString::fromUtf8((r >> 5) % 5 == 0 ? "秘密" : "无"),
            QStringLiteral("通知"),
            QString::fromUtf8(kUnits[(r >> 32) % 10]),
            QString::fromUtf8(kLevels[(r >> 40) % 10]),
            QStringLiteral("办公室"),
            QStringLiteral("无"),
            QString::fromStdString(date),
            QStringLiteral("HZ%1").arg(i, 8, 10, QLatin1Char('0')),
            QStringLiteral("市中级人民法院"),
            QString::fromStdString(date),
            QStringLiteral("GB0626-2005"),
            QString::fromUtf8("拟稿人：" + drafter(r >> 48)),
            QStringLiteral("是"),
        };
        for (int v = 0; v < values.size(); ++v)
            insert.bindValue(v, values[v]);
        if (!insert.exec())
            return false;
    }
    return QSqlDatabase(database).commit();
}

struct Figures
{
    int hits = 0;
    double first = 0;
    double median = 0;
};

template <typename Search> Figures measure(QueryDialog& window, Search search)
{
    std::vector<double> times;
    Figures figures;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        search();
        QApplication::processEvents(); // the list painted
        times.push_back(milliseconds(timer));
        figures.hits = window.registerList().rowCount();
    }
    figures.first = times.front();
    std::sort(times.begin(), times.end());
    figures.median = times[1];
    return figures;
}

void print(const char* what, const Figures& figures)
{
    std::printf("  %-44s %6d hits  %8.1f ms (first %.1f)\n", what, figures.hits, figures.median, figures.first);
}

int runSize(int records)
{
    QTemporaryDir folder;
    // REGDESK_BENCH_KEEP=1 leaves the generated folders for a closer look.
    folder.setAutoRemove(qEnvironmentVariableIsEmpty("REGDESK_BENCH_KEEP"));
    const QString databasePath = QDir(folder.path()).filePath(QStringLiteral("data.db"));
    if (const QString failure = createRegisterDatabase(databasePath); !failure.isEmpty()) {
        std::fprintf(stderr, "cannot create the database: %s\n", failure.toLocal8Bit().constData());
        return 1;
    }
    const GbkString directory = fromQString(folder.path());
    std::ofstream(QDir(folder.path()).filePath(QStringLiteral("document.ini")).toStdString(), std::ios::binary)
        << utf8ToGbk(
               "[发文设置]\r\n二维码输出位置=" + QDir(folder.path()).filePath(QStringLiteral("out")).toStdString() +
               "\r\n\r\n[自定义排序]\r\n中法发=01\r\n中法办=02\r\n中法函=03\r\n密级优先=是\r\n");
    PrintingPrompter prompter;
    NoDesktop desktop;
    AdoDatabase database(prompter);
    if (!database.openConnection(AdoDatabase::connectionStringFor(directory)))
        return 1;
    AdoDatabase::setActiveConnection(database.connection());
    const QSqlDatabase connection = QSqlDatabase::database(database.connection()->name(), false);

    std::printf("== %d records %s\n", records, folder.autoRemove() ? "" : qPrintable(folder.path()));
    // Generated as an older data.db without the index, which is then built
    // as the first search would build it.
    QSqlQuery(connection).exec(QStringLiteral("DROP TRIGGER 发文登记表_检索_增"));
    QElapsedTimer timer;
    timer.start();
    if (!generate(connection, records))
        return 1;
    const auto megabytes = [&] { return static_cast<double>(QFile(databasePath).size()) / (1024 * 1024); };
    std::printf("  generate the register                         %8.1f ms  (data.db %.1f MB)\n", milliseconds(timer),
                megabytes());
    timer.restart();
    if (!SearchIndex::install(connection, QStringLiteral("发文登记表")).isEmpty())
        return 1;
    std::printf("  build the index (an older data.db, once)      %8.1f ms  (data.db %.1f MB)\n", milliseconds(timer),
                megabytes());
    // What the index adds to each registration saved.
    timer.restart();
    for (int i = 0; i < 20; ++i)
        QSqlQuery(connection)
            .exec(
                QStringLiteral("INSERT INTO 发文登记表 (发文号, 标题) VALUES ('新%1号', '关于新增登记的通知')").arg(i));
    const double withIndex = milliseconds(timer) / 20;
    QSqlQuery(connection).exec(QStringLiteral("DROP TRIGGER 发文登记表_检索_增"));
    timer.restart();
    for (int i = 0; i < 20; ++i)
        QSqlQuery(connection)
            .exec(
                QStringLiteral("INSERT INTO 发文登记表 (发文号, 标题) VALUES ('新%1号', '关于新增登记的通知')").arg(i));
    std::printf("  one registration saved: %.2f ms with the index, %.2f ms without\n", withIndex,
                milliseconds(timer) / 20);
    if (!SearchIndex::install(connection, QStringLiteral("发文登记表")).isEmpty())
        return 1;

    SqliteRegisterSearch search(database.connection());
    QueryDialog window(QuerySeams{database.connection(), search, prompter, desktop,
                                  fromQString(QDir(folder.path()).filePath(QStringLiteral("document.ini")))});
    window.show();
    QApplication::processEvents();
    window.controller().selectRegister(QueryController::Register::Outgoing);
    auto* fuzzyEdit = qobject_cast<QLineEdit*>(window.control(QueryDialog::FuzzyEdit));
    auto* valueEdit = qobject_cast<QLineEdit*>(window.control(QueryDialog::ValueEdit));
    window.setFieldName("标题"_gbk);

    // Two terms whose hits are about 100, 1,000 and 10,000 at this size.
    const bool large = records >= 1000000;
    const std::string s = subject(7);
    const struct
    {
        const char* what;
        std::string text;
    } fuzzy[] = {
        {"fuzzy, ~100 hits", large ? s + " " + drafter(42) : s + " " + kUnits[3]},
        {"fuzzy, ~1,000 hits", large ? s + " " + kUnits[3] : std::string(kUnits[3]) + " " + kLevels[5]},
        {"fuzzy, ~10,000 hits", large ? std::string(kUnits[3]) + " " + kLevels[5] : std::string(kUnits[3]) + " 通知"},
    };
    for (const auto& query : fuzzy) {
        fuzzyEdit->setText(QString::fromStdString(query.text));
        print((std::string(query.what) + " \"" + query.text + "\"").c_str(),
              measure(window, [&] { window.controller().fuzzySearch(); }));
    }
    const std::string titleValues[] = {"（123）", s};
    for (const std::string& value : titleValues) {
        valueEdit->setText(QString::fromStdString(value));
        print(("exact, 标题 相似于 \"" + value + "\"").c_str(),
              measure(window, [&] { window.controller().exactSearch(); }));
    }
    search.setIndexUse(false);
    fuzzyEdit->setText(QString::fromStdString(fuzzy[1].text));
    print("fuzzy, ~1,000 hits, without the index", measure(window, [&] { window.controller().fuzzySearch(); }));
    search.setIndexUse(true);

    // The custom sort of the 10,000 rows of the last search on its own: keys
    // from document.ini, then the ascending sort by them.
    fuzzyEdit->setText(QString::fromStdString(fuzzy[2].text));
    window.controller().fuzzySearch();
    RegisterListModel& rows = window.listRows();
    timer.restart();
    const SettingsFile settings(fromQString(QDir(folder.path()).filePath(QStringLiteral("document.ini"))));
    const CustomSortOrder order(settings);
    for (int row = 0; row < rows.rowCount(); ++row)
        rows.setCellText(row, QueryController::kSortKeyColumn,
                         order.keyFor(rows.cellText(row, 0), rows.cellText(row, 2)));
    rows.sortByColumn(QueryController::kSortKeyColumn, true);
    std::printf("  custom sort of %d rows (keys + sort)       %8.1f ms\n", rows.rowCount(), milliseconds(timer));

    // A 50 MB attachment, stored and exported off the GUI thread.
    const QString fileName = QDir(folder.path()).filePath(QStringLiteral("large.doc"));
    {
        QFile file(fileName);
        file.open(QIODevice::WriteOnly);
        QByteArray block(1024 * 1024, '\0');
        for (int i = 0; i < 50; ++i) {
            block.fill(static_cast<char>(i));
            file.write(block);
        }
    }
    const GbkString number = rows.cellText(0, 0);
    const qint64 record = rows.recordId(0);
    const AttachmentTransfer transfer(database.connection()->name());
    timer.restart();
    std::vector<qint64> attached;
    const QString stored = transfer.attachToRecord("发文登记表"_gbk, record, fromQString(fileName), attached);
    std::printf("  store a 50 MB attachment                      %8.1f ms %s\n", milliseconds(timer),
                stored.toLocal8Bit().constData());
    timer.restart();
    const auto exported = transfer.exportTo(fromQString(QDir(folder.path()).filePath(QStringLiteral("out"))),
                                            "发文登记表"_gbk, {{record, number}});
    std::printf("  export it                                     %8.1f ms (%d file)\n", milliseconds(timer),
                exported.written);

    const auto [rss, peak] = memoryMegabytes();
    std::printf("  memory of the process: now %.0f MB, peak %.0f MB\n", rss, peak);
    window.hide();
    AdoDatabase::setActiveConnection(nullptr);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::max(1, std::atoi(argv[i])));
    if (sizes.empty())
        sizes = {100000, 1000000};
    for (const int records : sizes) {
        if (runSize(records) != 0)
            return 1;
    }
    return 0;
}
