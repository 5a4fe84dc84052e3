// A large attachment stored and exported on the server's register (a
// throwaway cluster) and on data.db: the time of each step and the peak
// memory it adds to the process. Not a test: it prints figures and asserts nothing.
//
//     regdesk_attachment_bench [MiB ...]     (default: 200 250)
#include "bench/BenchSupport.h"
#include "db/AdoDatabase.h"
#include "db/RegisterDatabaseFile.h"
#include "db/ServerAddress.h"
#include "platform/GbkQt.h"
#include "query/AttachmentTransfer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using namespace regdesk;
using namespace regdesk::bench;

double statusMegabytes(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0)
            return std::stod(line.substr(std::string(key).size())) / 1024;
    }
    return 0;
}

// The time of `work` and the peak resident memory it adds to the process, in MB.
template <typename Work> std::pair<double, double> measure(Work work)
{
    const double before = statusMegabytes("VmRSS:");
    std::ofstream("/proc/self/clear_refs") << "5"; // resets VmHWM
    QElapsedTimer timer;
    timer.start();
    work();
    return {milliseconds(timer), statusMegabytes("VmHWM:") - before};
}

QString clusterScript()
{
    return QStringLiteral(REGDESK_CLUSTER_SCRIPT);
}

int runSize(const QString& folderPath, qint64 mebibytes)
{
    const QString file = QDir(folderPath).filePath(QStringLiteral("large.doc"));
    {
        QFile out(file);
        out.open(QIODevice::WriteOnly);
        QByteArray block(1024 * 1024, '\0');
        for (qint64 i = 0; i < mebibytes; ++i) {
            for (qsizetype j = 0; j < block.size(); j += 8) {
                const std::uint64_t r = mixed(static_cast<std::uint64_t>(i * block.size() + j));
                std::memcpy(block.data() + j, &r, 8);
            }
            out.write(block);
        }
    }
    PrintingPrompter prompter;
    AdoDatabase database(prompter);
    if (!database.openConnection(AdoDatabase::connectionStringFor(fromQString(folderPath))))
        return 1;
    QSqlQuery insert(QSqlDatabase::database(database.connection()->name(), false));
    insert.exec(QStringLiteral("INSERT INTO 发文登记表 (发文号) VALUES ('法〔2026〕1号')"));
    QSqlQuery idQuery(QSqlDatabase::database(database.connection()->name(), false));
    idQuery.exec(QStringLiteral("SELECT max(rowid) FROM 发文登记表"));
    const qint64 record = idQuery.next() ? idQuery.value(0).toLongLong() : 0;
    const AttachmentTransfer transfer(database.connection()->name());
    QString failure;
    const auto [storeTime, storeMemory] =
        measure([&] { failure = transfer.attach("发文登记表"_gbk, "法〔2026〕1号"_gbk, fromQString(file)); });
    std::printf("  store a %lld MiB attachment   %9.1f ms, peak +%6.0f MB %s\n", static_cast<long long>(mebibytes),
                storeTime, storeMemory, failure.toUtf8().constData());
    AttachmentTransfer::ExportOutcome exported;
    const auto [exportTime, exportMemory] = measure([&] {
        exported = transfer.exportTo(fromQString(QDir(folderPath).filePath(QStringLiteral("out"))), "发文登记表"_gbk,
                                     {{record, "法〔2026〕1号"_gbk}});
    });
    std::printf("  export it                    %9.1f ms, peak +%6.0f MB (%d file) %s\n", exportTime, exportMemory,
                exported.written, exported.failures.join(u' ').toUtf8().constData());
    QSqlQuery(QSqlDatabase::database(database.connection()->name(), false))
        .exec(QStringLiteral("DELETE FROM 发文登记表"));
    QFile::remove(file);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    std::vector<qint64> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::max(1, std::atoi(argv[i])));
    if (sizes.empty())
        sizes = {200, 250};

    const QTemporaryDir work;
    const QString info = QDir(work.path()).filePath(QStringLiteral("cluster.info"));
    const QString start = QStringLiteral("sh '%1' start '%2' %3").arg(clusterScript(), info).arg(::getpid());
    if (std::system(start.toLocal8Bit().constData()) != 0)
        return 1;
    QFile infoFile(info);
    infoFile.open(QIODevice::ReadOnly);
    const QString socketFolder = QString::fromUtf8(infoFile.readLine()).trimmed();
    const ServerAddress administrator{socketFolder, {}, QStringLiteral("postgres"), QStringLiteral("regdesk")};
    const ServerAddress server{socketFolder, {}, QStringLiteral("regdesk_attachment_bench"), QStringLiteral("regdesk")};
    int result = 0;
    if (administrator.open(QStringLiteral("administrator")).isEmpty() &&
        QSqlQuery(QSqlDatabase::database(QStringLiteral("administrator"), false))
            .exec(QStringLiteral("CREATE DATABASE regdesk_attachment_bench")) &&
        server.open(QStringLiteral("init")).isEmpty() &&
        createServerRegister(QSqlDatabase::database(QStringLiteral("init"), false)).isEmpty()) {
        QSqlDatabase::removeDatabase(QStringLiteral("init"));
        const QString serverFolder = QDir(work.path()).filePath(QStringLiteral("server"));
        const QString fileFolder = QDir(work.path()).filePath(QStringLiteral("file"));
        QDir().mkpath(serverFolder);
        QDir().mkpath(fileFolder);
        std::ofstream(QDir(serverFolder).filePath(QStringLiteral("document.ini")).toStdString(), std::ios::binary)
            << utf8ToGbk("[数据库]\r\n类型=PostgreSQL\r\n主机=" + socketFolder.toStdString() +
                         "\r\n库名=regdesk_attachment_bench\r\n用户=regdesk\r\n");
        createRegisterDatabase(QDir(fileFolder).filePath(QStringLiteral("data.db")));
        for (const qint64 size : sizes) {
            std::printf("== PostgreSQL\n");
            result |= runSize(serverFolder, size);
            std::printf("== data.db\n");
            result |= runSize(fileFolder, size);
        }
    } else {
        result = 1;
    }
    QSqlDatabase::removeDatabase(QStringLiteral("init"));
    QSqlDatabase::removeDatabase(QStringLiteral("administrator"));
    std::system(QStringLiteral("sh '%1' stop '%2'").arg(clusterScript(), info).toLocal8Bit().constData());
    return result;
}
