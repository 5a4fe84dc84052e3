// The register shared by several desks, on PostgreSQL beside data.db, with
// 1,000,000 registrations: numbering (choosing a prefix, with its number
// claims), the query window's fuzzy search with about 100, 1,000 and 10,000
// hits and its exact search, one save; then regdesk-admin copy of a data.db
// of 100,000 registrations with attachments. The server is a throwaway
// cluster on a Unix socket, started and stopped here. Prints figures,
// asserts nothing.
//
//     regdesk_shared_register_bench [registrations [copied registrations]]
#include "app/AdminCommands.h"
#include "bench/BenchSupport.h"
#include "db/AdoDatabase.h"
#include "db/AdoRecordset.h"
#include "db/BarcodeCount.h"
#include "db/RegisterDatabaseFile.h"
#include "db/RegisterSearch.h"
#include "db/RegisterStatements.h"
#include "db/SearchIndex.h"
#include "db/ServerAddress.h"
#include "desk/DocumentNumbering.h"
#include "desk/SqlOutgoingRegister.h"
#include "desk/SqlRegisterStore.h"
#include "platform/GbkQt.h"
#include "platform/Prompter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

using namespace regdesk;
using namespace regdesk::bench;

namespace {

constexpr int kYears = 20;

// Registration i of `records`, in the order of registration: a year at a
// time, the prefixes taking turns, serials running per prefix and year.
QVariantList registration(int i, int records)
{
    const std::uint64_t r = mixed(static_cast<std::uint64_t>(i));
    const int perYear = std::max(1, records / kYears);
    const int year = 2005 + std::min(kYears - 1, i / perYear);
    const int inYear = i - (year - 2005) * perYear;
    const std::string number = std::string(kPrefixes[inYear % kPrefixes.size()]) + "〔" + std::to_string(year) + "〕" +
                               std::to_string(inYear / static_cast<int>(kPrefixes.size()) + 1) + "号";
    const std::string date = std::to_string(year) + "0" + std::to_string(1 + inYear % 9) + "1" + std::to_string(i % 10);
    return {QString::fromUtf8(number),
            QString::fromUtf8("关于" + subject(r >> 16) + "工作的通知（" + std::to_string((r >> 24) % 1000) + "）"),
            QString::fromUtf8((r >> 5) % 5 == 0 ? "秘密" : "无"),
            QStringLiteral("通知"),
            QString::fromUtf8(kUnits[(r >> 32) % 10]),
            QString::fromUtf8(kLevels[(r >> 40) % 10]),
            QStringLiteral("办公室"),
            QStringLiteral("无"),
            QString::fromStdString(date),
            QStringLiteral("HZ%1%2").arg(year).arg(inYear + 1, 6, 10, QLatin1Char('0')),
            QStringLiteral("市中级人民法院"),
            QString::fromStdString(date),
            QStringLiteral("GB0626-2005"),
            QString::fromUtf8("拟稿人：" + drafter(r >> 48)),
            QStringLiteral("是")};
}

const QString kColumns =
    QStringLiteral("发文号, 标题, 密级, 文种, 主送, 发布层次, 发文单位, 紧急程度, 成文日期, 制码号, "
                   "制码单位, 制码时间, 版本, 备注, 条码已打");

QString literal(const QVariant& value)
{
    QString text = value.toString();
    text.replace(u'\'', QStringLiteral("''"));
    return u'\'' + text + u'\'';
}

bool fill(const QSqlDatabase& database, int records, int attachmentEvery = 0)
{
    QSqlDatabase writer(database);
    writer.transaction();
    QSqlQuery query(database);
    if (database.driverName() == QLatin1String("QPSQL")) {
        // A thousand rows a statement: the server's round trips dominate otherwise.
        for (int first = 0; first < records; first += 1000) {
            QStringList rows;
            for (int i = first; i < std::min(records, first + 1000); ++i) {
                QStringList values;
                for (const QVariant& value : registration(i, records))
                    values << literal(value);
                rows << u'(' + values.join(u',') + u')';
            }
            if (!query.exec(QStringLiteral("INSERT INTO 发文登记表 (%1) VALUES %2").arg(kColumns, rows.join(u',')))) {
                std::fprintf(stderr, "%s\n", query.lastError().text().toUtf8().constData());
                return false;
            }
        }
        return writer.commit();
    }
    if (!query.prepare(QStringLiteral("INSERT INTO 发文登记表 (%1, 文件类型, 文件数据) VALUES (%2?)")
                           .arg(kColumns, QStringLiteral("?, ").repeated(16)))) {
        std::fprintf(stderr, "%s\n", query.lastError().text().toUtf8().constData());
        return false;
    }
    for (int i = 0; i < records; ++i) {
        const QVariantList values = registration(i, records);
        for (qsizetype v = 0; v < values.size(); ++v)
            query.bindValue(static_cast<int>(v), values[v]);
        const bool attached = attachmentEvery > 0 && i % attachmentEvery == 0;
        query.bindValue(15, attached ? QStringLiteral("doc") : QVariant(QMetaType::fromType<QString>()));
        query.bindValue(16, attached ? QByteArray(10 * 1024, static_cast<char>(i))
                                     : QVariant(QMetaType::fromType<QByteArray>()));
        if (!query.exec()) {
            std::fprintf(stderr, "%s\n", query.lastError().text().toUtf8().constData());
            return false;
        }
    }
    return writer.commit();
}

// The throwaway cluster, started by the test's script and stopped with this object.
class Cluster
{
public:
    Cluster() : m_info(QDir::temp().filePath(QStringLiteral("regdesk-bench-pg-%1.info").arg(::getpid())))
    {
        const QString command =
            QStringLiteral("sh '%1' start '%2' %3").arg(QStringLiteral(REGDESK_CLUSTER_SCRIPT), m_info).arg(::getpid());
        if (std::system(command.toLocal8Bit().constData()) == 0) {
            QFile file(m_info);
            if (file.open(QIODevice::ReadOnly))
                m_socketFolder = QString::fromUtf8(file.readLine()).trimmed();
        }
    }
    ~Cluster()
    {
        const QString command = QStringLiteral("sh '%1' stop '%2'").arg(QStringLiteral(REGDESK_CLUSTER_SCRIPT), m_info);
        std::system(command.toLocal8Bit().constData());
    }
    Cluster(const Cluster&) = delete;
    Cluster& operator=(const Cluster&) = delete;

    bool isRunning() const { return !m_socketFolder.isEmpty(); }
    ServerAddress address(const QString& database) const
    {
        return {m_socketFolder, {}, database, QStringLiteral("regdesk")};
    }
    std::string settings(const QString& database) const
    {
        return "[数据库]\r\n类型=PostgreSQL\r\n主机=" + m_socketFolder.toStdString() +
               "\r\n库名=" + database.toStdString() + "\r\n用户=regdesk\r\n";
    }
    bool run(const QString& sql) const
    {
        bool done = false;
        if (address(QStringLiteral("postgres")).open(QStringLiteral("bench-administrator")).isEmpty())
            done = QSqlQuery(QSqlDatabase::database(QStringLiteral("bench-administrator"), false)).exec(sql);
        QSqlDatabase::removeDatabase(QStringLiteral("bench-administrator"));
        return done;
    }

private:
    QString m_info;
    QString m_socketFolder;
};

void writeSettings(const QString& folder, const std::string& databaseSection)
{
    std::ofstream(QDir(folder).filePath(QStringLiteral("document.ini")).toStdString(), std::ios::binary)
        << utf8ToGbk(databaseSection);
}

struct Figures
{
    std::size_t hits = 0;
    double first = 0;
    double median = 0;
};

template <typename Work> Figures measure(int runs, Work work)
{
    std::vector<double> times;
    Figures figures;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        figures.hits = work();
        times.push_back(milliseconds(timer));
    }
    figures.first = times.front();
    std::sort(times.begin(), times.end());
    figures.median = times[times.size() / 2];
    return figures;
}

void print(const char* what, const Figures& figures)
{
    std::printf("  %-50s %7zu  %8.1f ms (first %.1f)\n", what, figures.hits, figures.median, figures.first);
    std::fflush(stdout);
}

// Numbering, searches and a save on the register that `folder` names, the active connection.
void measureDesk(const QString& folder, int records)
{
    PrintingPrompter prompter;
    AdoDatabase database(prompter);
    if (!database.openConnection(AdoDatabase::connectionStringFor(fromQString(folder))))
        return;
    AdoDatabase::setActiveConnection(database.connection());
    {
        const int lastYear = 2005 + kYears - 1;
        const GbkString prefix = utf8ToGbk(std::string(kPrefixes[0]) + "〔" + std::to_string(lastYear) + "〕");
        SqlOutgoingRegister register_;
        NumberingProposal proposal;
        print("numbering: choose a prefix (last year's)", measure(20, [&] {
                  proposal = DocumentNumbering::propose(prefix, {prefix}, lastYear, CodeNumberLayout{"HZ", 2, "4", "6"},
                                                        register_);
                  return std::size_t{1};
              }));
        std::printf("    proposes %s, code number %s\n",
                    gbkToUtf8(*DocumentNumbering::nextNumber(proposal.lastNumber)).c_str(),
                    gbkToUtf8(proposal.codeNumber).c_str());
        const QSqlDatabase connection = QSqlDatabase::database(database.connection()->name(), false);
        print("  of which: barcodes of the year (counter)",
              measure(20, [&] { return static_cast<std::size_t>(BarcodeCount::count(connection, lastYear).rows); }));
        print("  the same by the counting statement alone", measure(5, [&] {
                  AdoRecordset count;
                  count.openQuery(RegisterStatements::countRowsOf(RegisterStatements::selectCodeTimesOfYear(lastYear)));
                  count.moveFirst();
                  return static_cast<std::size_t>(std::atoll(count.fieldText(0).c_str()));
              }));

        const std::unique_ptr<RegisterSearch> search = makeRegisterSearch(database.connection());
        const GbkString table = "发文登记表"_gbk;
        const std::string s = subject(7);
        const bool large = records >= 1000000;
        const std::pair<const char*, std::vector<std::string>> fuzzy[] = {
            {"fuzzy, ~100 hits", {s, large ? drafter(42) : kUnits[3]}},
            {"fuzzy, ~1,000 hits",
             large ? std::vector<std::string>{s, kUnits[3]} : std::vector<std::string>{kUnits[3], kLevels[5]}},
            {"fuzzy, ~10,000 hits",
             large ? std::vector<std::string>{kUnits[3], kLevels[5]} : std::vector<std::string>{kUnits[3], "通知"}},
        };
        for (const auto& [what, terms] : fuzzy) {
            std::vector<GbkString> gbk;
            std::string shown;
            for (const std::string& term : terms) {
                gbk.push_back(utf8ToGbk(term));
                shown += " " + term;
            }
            print((std::string(what) + " \"" + shown.substr(1) + "\"").c_str(),
                  measure(5, [&] { return search->fuzzy(table, gbk, {}).rows.size(); }));
        }
        for (const std::string& value : {std::string("（123）"), s}) {
            print(("exact, 标题 相似于 \"" + value + "\"").c_str(),
                  measure(5, [&] { return search->exact(table, "标题"_gbk, utf8ToGbk(value), {}).rows.size(); }));
        }

        SqlRegisterStore store;
        int saved = 0;
        print("save one registration (guarded, with its claims)", measure(20, [&] {
                  DocumentRecord row;
                  row[DocumentRecord::Number] = utf8ToGbk("新〔2024〕" + std::to_string(++saved) + "号");
                  row[DocumentRecord::Title] = "关于新增登记的通知"_gbk;
                  row.barcodeMade = "是"_gbk;
                  const bool replace = store.isRegistered(table, row[DocumentRecord::Number]);
                  return std::size_t(store.insert(table, row, true, replace) ? 1 : 0);
              }));
    }
    AdoDatabase::setActiveConnection(nullptr);
}

int benchDataFile(int records)
{
    QTemporaryDir folder;
    folder.setAutoRemove(qEnvironmentVariableIsEmpty("REGDESK_BENCH_KEEP"));
    const QString path = QDir(folder.path()).filePath(QStringLiteral("data.db"));
    if (!createRegisterDatabase(path).isEmpty())
        return 1;
    std::printf("== SQLite data.db, %d registrations\n", records);
    const QString name = QStringLiteral("bench-fill");
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        database.setDatabaseName(path);
        database.open();
        // Filled without the search index and the count of barcodes, which
        // are then built once, as for an older data.db.
        QSqlQuery(database).exec(QStringLiteral("DROP TRIGGER 发文登记表_检索_增"));
        QSqlQuery(database).exec(QStringLiteral("DROP TRIGGER 发文登记表_制码计数_增"));
        QElapsedTimer timer;
        timer.start();
        if (!fill(database, records))
            return 1;
        std::printf("  fill                                               %8.1f s\n", milliseconds(timer) / 1000);
        timer.restart();
        SearchIndex::install(database, QStringLiteral("发文登记表"));
        std::printf("  build the search index                             %8.1f s (data.db %.0f MB)\n",
                    milliseconds(timer) / 1000, static_cast<double>(QFile(path).size()) / (1 << 20));
        timer.restart();
        BarcodeCount::install(database);
        std::printf("  build the count of barcodes                        %8.1f s (data.db %.0f MB)\n",
                    milliseconds(timer) / 1000, static_cast<double>(QFile(path).size()) / (1 << 20));
        database.close();
    }
    QSqlDatabase::removeDatabase(name);
    measureDesk(folder.path(), records);
    return 0;
}

int benchServer(const Cluster& cluster, int records)
{
    std::printf("== PostgreSQL, %d registrations\n", records);
    const QString databaseName = QStringLiteral("regdesk_bench");
    cluster.run(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(databaseName));
    if (!cluster.run(QStringLiteral("CREATE DATABASE %1").arg(databaseName)))
        return 1;
    const QString name = QStringLiteral("bench-fill");
    if (!cluster.address(databaseName).open(name).isEmpty())
        return 1;
    {
        QSqlDatabase database = QSqlDatabase::database(name, false);
        createServerRegister(database);
        // Filled without the trigram indexes, which are then built once.
        const QStringList indexes = {QStringLiteral("发文登记表_检索"), QStringLiteral("发文登记表_发文号_片段"),
                                     QStringLiteral("发文登记表_制码时间_片段"), QStringLiteral("发文登记表_发文号")};
        QStringList definitions;
        QSqlQuery query(database);
        for (const QString& index : indexes) {
            query.exec(QStringLiteral("SELECT pg_get_indexdef('%1'::regclass)").arg(index));
            query.next();
            definitions << query.value(0).toString();
            query.exec(QStringLiteral("DROP INDEX %1").arg(index));
        }
        QElapsedTimer timer;
        timer.start();
        if (!fill(database, records))
            return 1;
        std::printf("  fill                                               %8.1f s\n", milliseconds(timer) / 1000);
        timer.restart();
        query.exec(QStringLiteral("SET maintenance_work_mem = '256MB'"));
        for (const QString& definition : definitions) {
            if (!query.exec(definition))
                std::fprintf(stderr, "%s\n", query.lastError().text().toUtf8().constData());
        }
        query.exec(QStringLiteral("VACUUM ANALYZE 发文登记表"));
        query.exec(QStringLiteral("SELECT pg_database_size(current_database()), pg_relation_size('发文登记表_检索')"));
        query.next();
        std::printf(
            "  build the indexes, VACUUM ANALYZE                  %8.1f s (database %.0f MB, search index %.0f MB)\n",
            milliseconds(timer) / 1000, query.value(0).toDouble() / (1 << 20), query.value(1).toDouble() / (1 << 20));
    }
    QSqlDatabase::removeDatabase(name);
    QTemporaryDir folder;
    writeSettings(folder.path(), cluster.settings(databaseName));
    measureDesk(folder.path(), records);
    cluster.run(QStringLiteral("DROP DATABASE %1 WITH (FORCE)").arg(databaseName));
    return 0;
}

int benchCopy(const Cluster& cluster, int records)
{
    std::printf("== regdesk-admin copy of a data.db with %d registrations, one in 20 with a 10 KB attachment\n",
                records);
    QTemporaryDir folder;
    const QString path = QDir(folder.path()).filePath(QStringLiteral("data.db"));
    if (!createRegisterDatabase(path).isEmpty())
        return 1;
    const QString name = QStringLiteral("bench-source");
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        database.setDatabaseName(path);
        database.open();
        if (!fill(database, records, 20))
            return 1;
        QSqlQuery(database).exec(QStringLiteral("INSERT INTO 人员信息表 (姓名, 简称) VALUES ('张三', 'ZS')"));
        database.close();
    }
    QSqlDatabase::removeDatabase(name);
    const QString databaseName = QStringLiteral("regdesk_bench_copy");
    cluster.run(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(databaseName));
    cluster.run(QStringLiteral("CREATE DATABASE %1").arg(databaseName));
    writeSettings(folder.path(), cluster.settings(databaseName));
    QElapsedTimer timer;
    timer.start();
    const AdminResult result = runAdminCommand({"copy", folder.path().toStdString()});
    std::printf("  regdesk-admin copy: exit %d after %.1f s\n%s%s", result.exitCode, milliseconds(timer) / 1000,
                result.output.c_str(), result.errors.c_str());
    cluster.run(QStringLiteral("DROP DATABASE %1 WITH (FORCE)").arg(databaseName));
    return result.exitCode;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int copied = argc > 2 ? std::atoi(argv[2]) : 100000;
    const Cluster cluster;
    if (!cluster.isRunning()) {
        std::fputs("the throwaway PostgreSQL cluster did not start\n", stderr);
        return 1;
    }
    int failures = benchDataFile(records);
    failures += benchServer(cluster, records);
    failures += benchCopy(cluster, copied);
    return failures == 0 ? 0 : 1;
}
