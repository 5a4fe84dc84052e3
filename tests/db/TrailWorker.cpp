// A desk deleting records one at a time on the register of a desk folder,
// each deletion in its own transaction: for the test of two desks extending
// the trail at once.
#include "db/DatabaseSettings.h"
#include "db/PrivateConnection.h"
#include "db/RegisterRecords.h"
#include "db/ServerAddress.h"
#include "db/TransactionGuard.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <cstdio>
#include <string>

using namespace regdesk;

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    if (argc != 4) {
        std::fputs("usage: regdesk_trail_worker DIR FIRST-ID LAST-ID\n", stderr);
        return 64;
    }
    const DatabaseSettings settings = DatabaseSettings::ofDirectory(fromNativePath(argv[1]));
    if (settings.kind != DatabaseSettings::Kind::PostgreSql) {
        std::fputs("the folder names no PostgreSQL register\n", stderr);
        return 2;
    }
    const PrivateConnection connection(ServerAddress::fromSettings(settings));
    if (!connection.isOpen()) {
        std::fprintf(stderr, "no database: %s\n", connection.error().toStdString().c_str());
        return 2;
    }
    for (qint64 id = std::stoll(argv[2]); id <= std::stoll(argv[3]); ++id) {
        TransactionGuard transaction(connection.database());
        const QString failure = RegisterRecords(connection.database()).remove("发文登记表"_gbk, {id});
        if (!failure.isEmpty() || !transaction.commit()) {
            std::fprintf(stderr, "record %lld not deleted: %s\n", static_cast<long long>(id),
                         failure.toStdString().c_str());
            return 1;
        }
    }
    return 0;
}
