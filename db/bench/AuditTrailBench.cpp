// What the trail of deletions and replacements costs on data.db: a save that
// replaces a record (with and without an attachment), F12 + Delete of 1,000
// selected records, each with and without its rows of 操作日志, and checking
// a chain of 1,000,000 rows. Figures only; the goals are printed beside them.
// The deletions give wall time and this thread's processor time (the disk's
// waits left out); REGDESK_BENCH_CONTROL=1 runs both copies without the
// trail, to show how far the two copies differ by themselves.
#include "db/AuditTrail.h"
#include "db/RegisterDatabaseFile.h"
#include "db/RegisterRecords.h"
#include "platform/GbkQt.h"
#include "platform/MemoryReuse.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>
#include <vector>

using namespace regdesk;

namespace {

double milliseconds(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool run(QSqlQuery& query, const QString& sql)
{
    if (query.exec(sql))
        return true;
    std::fprintf(stderr, "%s: %s\n", sql.toUtf8().constData(), query.lastError().text().toUtf8().constData());
    return false;
}

// `records` registrations like a desk's, every tenth with an attachment of `attachmentBytes`.
void fill(QSqlDatabase& database, int records, int attachmentBytes)
{
    QSqlQuery query(database);
    run(query, QStringLiteral("BEGIN"));
    query.prepare(QStringLiteral("INSERT INTO 发文登记表 (发文号, 标题, 密级, 文种, 主送, 发文单位, 成文日期, 制码号, "
                                 "制码时间, 条码已打, 文件类型, 文件数据) VALUES (?, ?, '秘密', '通知', '各区法院', "
                                 "'某某市中级人民法院', '20260105', ?, '20260105', '是', ?, ?)"));
    const QByteArray bytes(attachmentBytes, 'x');
    for (int i = 0; i < records; ++i) {
        query.addBindValue(QStringLiteral("某中法〔2026〕%1号").arg(i));
        query.addBindValue(QStringLiteral("关于第%1次全市法院工作会议的通知").arg(i));
        query.addBindValue(QStringLiteral("FY26%1").arg(i, 6, 10, QLatin1Char('0')));
        query.addBindValue(i % 10 == 0 ? QStringLiteral("doc") : QString::fromLatin1(""));
        query.addBindValue(i % 10 == 0 ? QVariant(bytes) : QVariant(QMetaType::fromType<QByteArray>()));
        query.exec();
    }
    run(query, QStringLiteral("COMMIT"));
}

// A save that replaces the records of `number`, as the desk's store runs it.
double replace(QSqlDatabase& database, const QString& number, bool logged)
{
    QElapsedTimer timer;
    timer.start();
    QSqlQuery query(database);
    run(query, QStringLiteral("BEGIN IMMEDIATE"));
    if (logged) {
        std::vector<qint64> ids;
        RegisterRecords(database).ofNumber("\xB7\xA2\xCE\xC4\xB5\xC7\xBC\xC7\xB1\xED", fromQString(number), ids);
        const QString failure =
            AuditTrail(database).recordRows(AuditTrail::Action::ReplaceRegistration, QStringLiteral("发文登记表"), ids);
        if (!failure.isEmpty())
            std::fprintf(stderr, "log: %s\n", failure.toUtf8().constData());
    }
    query.prepare(QStringLiteral("DELETE FROM 发文登记表 WHERE 发文号 = ?"));
    query.addBindValue(number);
    query.exec();
    query.prepare(QStringLiteral("INSERT INTO 发文登记表 (发文号, 标题, 条码已打) VALUES (?, '替换', '是')"));
    query.addBindValue(number);
    query.exec();
    run(query, QStringLiteral("COMMIT"));
    return milliseconds(timer);
}

// F12 + Delete of the records `ids` as the query window runs it: the namesakes, then the deletion.
struct Cost
{
    double wall = 0; // ms
    double cpu = 0;  // ms this thread ran: the disk's waits left out
};

double threadCpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

Cost deleteSelected(QSqlDatabase& database, const std::vector<qint64>& ids, bool logged)
{
    const double cpuStart = threadCpuMilliseconds();
    QElapsedTimer timer;
    timer.start();
    QSqlQuery query(database);
    run(query, QStringLiteral("BEGIN"));
    const RegisterRecords records(database);
    std::vector<qint64> doomed;
    records.withNamesakes("\xB7\xA2\xCE\xC4\xB5\xC7\xBC\xC7\xB1\xED", ids, doomed); // 发文登记表
    if (logged) {
        if (const QString failure = records.remove("\xB7\xA2\xCE\xC4\xB5\xC7\xBC\xC7\xB1\xED", doomed);
            !failure.isEmpty())
            std::fprintf(stderr, "delete: %s\n", failure.toUtf8().constData());
    } else {
        QJsonArray list;
        for (const qint64 id : doomed)
            list.append(id);
        query.prepare(QStringLiteral("DELETE FROM 发文登记表 WHERE rowid IN (SELECT value FROM json_each(?))"));
        query.addBindValue(QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact)));
        query.exec();
    }
    run(query, QStringLiteral("COMMIT"));
    return {milliseconds(timer), threadCpuMilliseconds() - cpuStart};
}

} // namespace

int main(int argc, char* argv[])
{
    keepFreedMemoryForReuse(); // as the desk and regdesk-admin run
    QCoreApplication application(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int trailRows = argc > 2 ? std::atoi(argv[2]) : 1000000;
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("data.db"));
    if (const QString failure = createRegisterDatabase(path); !failure.isEmpty()) {
        std::fprintf(stderr, "%s\n", failure.toUtf8().constData());
        return 1;
    }
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench"));
        database.setDatabaseName(path);
        database.open();
        std::printf("register of %d records (every tenth with a 100 KB attachment)\n", records);
        fill(database, records, 100 * 1024);

        // Records 1, 11, 21, ... have an attachment; the others have none.
        for (const bool withAttachment : {false, true}) {
            std::vector<double> plain;
            std::vector<double> logged;
            for (int i = 0; i < 20; ++i) {
                const int base = 100 + i * 20 + (withAttachment ? 0 : 1);
                plain.push_back(replace(database, QStringLiteral("某中法〔2026〕%1号").arg(base), false));
                logged.push_back(replace(database, QStringLiteral("某中法〔2026〕%1号").arg(base + 10), true));
            }
            std::printf("save replacing a record%s: %.2f ms, logged %.2f ms, added %.2f ms (goal: under 2 ms)\n",
                        withAttachment ? " with a 100 KB attachment" : "", median(plain), median(logged),
                        median(logged) - median(plain));
        }

        // F12 + Delete of 1,000 selected records, with and without the trail,
        // on two copies of the register that see the same deletions: the
        // search index's merges, which a deletion may pay for, then fall
        // alike on both. Records without attachments, then records of which
        // every tenth has one.
        const QString copyPath = folder.filePath(QStringLiteral("copy.db"));
        QFile::copy(path, copyPath);
        ::sync(); // the copy's pages on disk before the first round's commit waits for them
        QSqlDatabase copy = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench copy"));
        copy.setDatabaseName(copyPath);
        copy.open();
        const bool control = qEnvironmentVariableIsSet("REGDESK_BENCH_CONTROL"); // both without: the copies' own spread
        int offset = 1000;
        constexpr int kRounds = 40; // of each kind: 84,000 records in all
        for (const bool mixed : {false, true}) {
            std::vector<Cost> plain;
            std::vector<Cost> logged;
            for (int round = 0; round < kRounds; ++round) {
                std::vector<qint64> ids;
                QSqlQuery pick(database);
                pick.exec(QStringLiteral("SELECT rowid FROM 发文登记表 WHERE rowid > %1%2 ORDER BY rowid LIMIT 1000")
                              .arg(offset)
                              .arg(mixed ? QString() : QStringLiteral(" AND 文件数据 IS NULL")));
                while (pick.next())
                    ids.push_back(pick.value(0).toLongLong());
                pick.finish();
                offset = static_cast<int>(ids.empty() ? offset : ids.back());
                // Either may go first: the other then finds the files warmer.
                if (round % 2 == 0) {
                    plain.push_back(deleteSelected(database, ids, false));
                    logged.push_back(deleteSelected(copy, ids, !control));
                } else {
                    logged.push_back(deleteSelected(copy, ids, !control));
                    plain.push_back(deleteSelected(database, ids, false));
                }
            }
            const auto column = [](const std::vector<Cost>& costs, double Cost::*part) {
                std::vector<double> values;
                for (const Cost& cost : costs)
                    values.push_back(cost.*part);
                return median(values);
            };
            const auto added = [&](double Cost::*part) {
                return 100.0 * (column(logged, part) - column(plain, part)) / column(plain, part);
            };
            // Each round's two deletions took the same records: their
            // difference is less at the mercy of how costly a round was.
            std::vector<double> differences;
            for (std::size_t round = 0; round < plain.size(); ++round)
                differences.push_back(logged[round].wall - plain[round].wall);
            std::printf("F12 + Delete of 1,000 records%s: %.1f ms, logged %.1f ms, +%.0f %% (round by round +%.0f "
                        "%%); processor time %.1f ms, logged %.1f ms, +%.0f %% (goal: under 20 %%)\n",
                        mixed ? " (every tenth with a 100 KB attachment)" : " without attachments",
                        column(plain, &Cost::wall), column(logged, &Cost::wall), added(&Cost::wall),
                        100.0 * median(differences) / column(plain, &Cost::wall), column(plain, &Cost::cpu),
                        column(logged, &Cost::cpu), added(&Cost::cpu));
        }
        copy.close();

        // A trail of `trailRows` rows, chained as the desk chains them, then checked.
        QSqlQuery query(database);
        run(query, QStringLiteral("DELETE FROM 操作日志"));
        run(query, QStringLiteral("BEGIN"));
        query.prepare(
            QStringLiteral("INSERT INTO 操作日志 (编号, 时间, 本地时间, 用户, 主机, 进程, 操作, 表名, 发文号, "
                           "原记录, 附件大小, 附件摘要, 关联, 链值) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                           "?, NULL, ?)"));
        QString previous = AuditTrail::chainStart();
        for (int i = 1; i <= trailRows; ++i) {
            AuditTrail::Entry entry;
            entry.id = i;
            entry.utcTime = QStringLiteral("2026-01-05T01:02:03.456Z");
            entry.localTime = QStringLiteral("2026-01-05T09:02:03.456+08:00");
            entry.user = QStringLiteral("clerk");
            entry.host = QStringLiteral("desk1");
            entry.process = 4242;
            entry.action = QStringLiteral("删除记录");
            entry.table = QStringLiteral("发文登记表");
            entry.number = QStringLiteral("某中法〔2026〕%1号").arg(i);
            entry.before =
                QStringLiteral("[[\"发文号\",\"某中法〔2026〕%1号\"],[\"标题\",\"关于第%1次全市法院工作会议的通知\"],"
                               "[\"密级\",\"秘密\"],[\"文种\",\"通知\"],[\"主送\",\"各区法院\"],[\"发布层次\",null],"
                               "[\"发文单位\",\"某某市中级人民法院\"],[\"紧急程度\",null],[\"成文日期\",\"20260105\"],"
                               "[\"制码号\",\"FY26000001\"],[\"制码单位\",null],[\"制码时间\",\"20260105\"],"
                               "[\"版本\",null],[\"备注\",null],[\"条码已打\",\"是\"],[\"文件类型\",\"doc\"]]")
                    .arg(i);
            entry.attachmentSize = 102400;
            entry.attachmentDigest = QStringLiteral("8fd8f6b6b4a39fae8a5d2a6b85b88e9a0b1a0c9ec51bd4e2f4cdb8e3ad41c2f2");
            entry.chain = AuditTrail::chainValue(previous, entry);
            previous = entry.chain;
            for (const QVariant& value :
                 {QVariant(entry.id), QVariant(entry.utcTime), QVariant(entry.localTime), QVariant(entry.user),
                  QVariant(entry.host), QVariant(entry.process), QVariant(entry.action), QVariant(entry.table),
                  QVariant(*entry.number), QVariant(entry.before), QVariant(*entry.attachmentSize),
                  QVariant(*entry.attachmentDigest), QVariant(entry.chain)})
                query.addBindValue(value);
            query.exec();
        }
        run(query, QStringLiteral("COMMIT"));
        QElapsedTimer timer;
        timer.start();
        const AuditTrail::Verification verification = AuditTrail(database).verify();
        std::printf("--verify of %lld rows: %.2f s%s (goal: 1,000,000 rows under 10 s)\n",
                    static_cast<long long>(verification.rows), milliseconds(timer) / 1000.0,
                    verification.firstBad ? " (the chain is broken!)" : "");
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench copy"));
    QSqlDatabase::removeDatabase(QStringLiteral("bench"));
    return 0;
}
