// Building the fuzzy search's index of an older data.db (600,000 records by
// default): in one write transaction as before, and in committed slices,
// while a second connection writes a record every 20 ms. Prints the build
// time and the longest the writer waited for the lock; figures only.
#include "db/RegisterDatabaseFile.h"
#include "db/SearchIndex.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <thread>

using namespace regdesk;
using Clock = std::chrono::steady_clock;

namespace {

QSqlDatabase open(const QString& name, const QString& path)
{
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    database.setDatabaseName(path);
    database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    database.open();
    return database;
}

struct Figures
{
    double buildSeconds = 0;
    double longestWaitMs = 0;
    int writes = 0;
    int refused = 0;
};

Figures build(const QString& path, const SearchIndex::BuildPace& pace)
{
    Figures figures;
    std::atomic<bool> building{true};
    // Another desk saving now and then, on a thread and connection of its own.
    std::thread desk([&] {
        {
            QSqlDatabase database = open(QStringLiteral("desk"), path);
            QSqlQuery save(database);
            while (building) {
                const auto asked = Clock::now();
                if (save.exec(QStringLiteral("INSERT INTO 收文登记表 (发文号) VALUES ('probe')")))
                    ++figures.writes;
                else
                    ++figures.refused;
                figures.longestWaitMs = std::max(
                    figures.longestWaitMs, std::chrono::duration<double, std::milli>(Clock::now() - asked).count());
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("desk"));
    });
    {
        QSqlDatabase database = open(QStringLiteral("builder"), path);
        QSqlQuery query(database);
        for (const char* drop :
             {"DROP TRIGGER 发文登记表_检索_增", "DROP TRIGGER 发文登记表_检索_删", "DROP TRIGGER 发文登记表_检索_改",
              "DROP TABLE 发文登记表_检索词", "DROP TABLE 发文登记表_检索"})
            query.exec(QString::fromUtf8(drop));
        const auto started = Clock::now();
        const QString failure = SearchIndex::install(database, QStringLiteral("发文登记表"), {}, pace);
        figures.buildSeconds = std::chrono::duration<double>(Clock::now() - started).count();
        if (!failure.isEmpty())
            std::printf("  build failed: %s\n", failure.toUtf8().constData());
    }
    QSqlDatabase::removeDatabase(QStringLiteral("builder"));
    building = false;
    desk.join();
    return figures;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 600000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.db"));
    if (const QString failure = createRegisterDatabase(path); !failure.isEmpty()) {
        std::printf("cannot create %s: %s\n", qPrintable(path), failure.toUtf8().constData());
        return 1;
    }
    {
        QSqlDatabase database = open(QStringLiteral("fill"), path);
        QSqlQuery query(database);
        query.exec(QStringLiteral("DROP TRIGGER 发文登记表_检索_增"));
        query.exec(QStringLiteral(
                       "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                       "INSERT INTO 发文登记表 (发文号, 标题, 密级, 文种, 主送, 发文单位, 成文日期, 制码号, 备注) "
                       "SELECT '某中法〔' || (2000 + i % 20) || '〕' || i || '号', '关于' || substr('表彰先进集体召开"
                       "工作会议加强档案管理印发实施办法', 1 + i % 20, 8) || '的通知' || i, '无', '通知', '各庭室', "
                       "'某市中级人民法院', '2024010' || (1 + i % 9), 'HZ' || i, '拟稿人：张三'  FROM n")
                       .arg(records));
        std::printf("data.db with %d records\n", records);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));

    const Figures whole =
        build(path, SearchIndex::BuildPace{std::chrono::milliseconds(0), std::chrono::milliseconds(0),
                                           std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::max()});
    std::printf("one write transaction:  %.1f s; the other desk waited up to %.0f ms, %d saves, %d refused\n",
                whole.buildSeconds, whole.longestWaitMs, whole.writes, whole.refused);
    const Figures sliced = build(path, SearchIndex::BuildPace{});
    std::printf("committed slices:       %.1f s; the other desk waited up to %.0f ms, %d saves, %d refused\n",
                sliced.buildSeconds, sliced.longestWaitMs, sliced.writes, sliced.refused);
    return 0;
}
