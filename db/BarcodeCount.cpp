#include "db/BarcodeCount.h"

#include "db/AdoDatabase.h"
#include "db/RegisterStatements.h"
#include "db/SqlDialect.h"
#include "db/TransactionGuard.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace regdesk::BarcodeCount {
namespace {

constexpr const char* kTableName = "制码计数";
constexpr const char* kLongIndexName = "发文登记表_制码时间_长";
constexpr const char* kCodeIndexName = "发文登记表_制码号";

// The triggers: on insertion, deletion and change, and (server) emptying.
QStringList triggers(bool server)
{
    QStringList names = {QStringLiteral("发文登记表_制码计数_增"), QStringLiteral("发文登记表_制码计数_删"),
                         QStringLiteral("发文登记表_制码计数_改")};
    if (server)
        names << QStringLiteral("发文登记表_制码计数_清");
    return names;
}

// A window of four characters that is the decimal text of a year 1000 to 9999.
constexpr const char* kSqliteYearGlob = "[123456789][0123456789][0123456789][0123456789]";
constexpr const char* kServerYearPattern = "^[123456789][0123456789]{3}$";

bool isServer(const QSqlDatabase& database)
{
    return SqlDialect::kindOf(database) == SqlDialect::Kind::Postgres;
}

QString describe(const QSqlError& error)
{
    return error.databaseText().isEmpty() ? error.text() : error.databaseText();
}

// Rows the counter leaves to the statement: a 制码时间 too long for its
// windows, or (data.db) one that is not text (a number or bytes that another
// program stored, which LIKE reads as text).
QString longCondition(bool server, const QString& alias = {})
{
    const QString column = alias.isEmpty() ? QStringLiteral("制码时间") : alias + QStringLiteral(".制码时间");
    if (server)
        return QStringLiteral("length(%1) > %2").arg(column).arg(kCountedLength);
    return QStringLiteral("(typeof(%1) NOT IN ('text', 'null') OR length(%1) > %2)").arg(column).arg(kCountedLength);
}

// data.db: the keys of a row (`alias` new or old) in 制码计数, each once:
// 0 for every barcoded row, and the years of its windows. length() and
// substr() count characters as LIKE reads them (up to a NUL, if any).
QString sqliteKeysOf(const QString& alias)
{
    QStringList positions;
    for (int p = 1; p <= kCountedLength - 3; ++p)
        positions << QStringLiteral("(%1)").arg(p);
    const QString time = alias + QStringLiteral(".制码时间");
    const QString barcoded = alias + QStringLiteral(".条码已打 = '是'");
    return QStringLiteral("SELECT 0 AS 年 WHERE %1 UNION SELECT CAST(substr(%2, p.column1, 4) AS INTEGER) "
                          "FROM (VALUES %3) AS p WHERE %1 AND typeof(%2) = 'text' AND length(%2) <= %4 "
                          "AND p.column1 <= length(%2) - 3 AND substr(%2, p.column1, 4) GLOB '%5'")
        .arg(barcoded, time, positions.join(u','))
        .arg(kCountedLength)
        .arg(QLatin1String(kSqliteYearGlob));
}

QStringList sqliteStatements()
{
    const QString add = QStringLiteral("INSERT INTO %1 (年, 数) SELECT 年, 1 FROM (%2) WHERE 1 "
                                       "ON CONFLICT (年) DO UPDATE SET 数 = 数 + 1;")
                            .arg(QString::fromUtf8(kTableName), sqliteKeysOf(QStringLiteral("new")));
    const QString remove = QStringLiteral("UPDATE %1 SET 数 = 数 - 1 WHERE 年 IN (%2);")
                               .arg(QString::fromUtf8(kTableName), sqliteKeysOf(QStringLiteral("old")));
    QStringList statements;
    for (const QString& trigger : triggers(false))
        statements << QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(trigger);
    statements
        << QStringLiteral("DROP TABLE IF EXISTS %1").arg(QString::fromUtf8(kTableName))
        << QStringLiteral("DROP INDEX IF EXISTS %1").arg(QString::fromUtf8(kLongIndexName))
        << QStringLiteral("CREATE TABLE %1 (年 INTEGER PRIMARY KEY, 数 INTEGER NOT NULL)")
               .arg(QString::fromUtf8(kTableName))
        << QStringLiteral("CREATE INDEX %1 ON 发文登记表 (条码已打) WHERE 条码已打 = '是' AND %2")
               .arg(QString::fromUtf8(kLongIndexName), longCondition(false))
        << QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON 发文登记表 (制码号)").arg(QString::fromUtf8(kCodeIndexName))
        << QStringLiteral("CREATE TRIGGER %1 AFTER INSERT ON 发文登记表 BEGIN %2 END").arg(triggers(false)[0], add)
        << QStringLiteral("CREATE TRIGGER %1 AFTER DELETE ON 发文登记表 BEGIN %2 END").arg(triggers(false)[1], remove)
        << QStringLiteral("CREATE TRIGGER %1 AFTER UPDATE OF 制码时间, 条码已打 ON 发文登记表 BEGIN %2 %3 END")
               .arg(triggers(false)[2], remove, add)
        // Filled from the register: the keys of each distinct text once (a
        // register holds few: dates), weighed by its rows.
        << QStringLiteral("INSERT INTO %1 (年, 数) SELECT 0, count(*) FROM 发文登记表 WHERE 条码已打 = '是'")
               .arg(QString::fromUtf8(kTableName))
        << QStringLiteral(
               "INSERT INTO %1 (年, 数) SELECT 年, sum(n) FROM (SELECT DISTINCT t.v, t.n, "
               "CAST(substr(t.v, p.column1, 4) AS INTEGER) AS 年 FROM (SELECT 制码时间 AS v, count(*) AS n "
               "FROM 发文登记表 WHERE 条码已打 = '是' AND typeof(制码时间) = 'text' AND length(制码时间) <= %3 "
               "GROUP BY 制码时间 COLLATE BINARY) AS t, (VALUES %2) AS p WHERE p.column1 <= length(t.v) - 3 "
               "AND substr(t.v, p.column1, 4) GLOB '%4') GROUP BY 年")
               .arg(QString::fromUtf8(kTableName),
                    [] {
                        QStringList positions;
                        for (int p = 1; p <= kCountedLength - 3; ++p)
                            positions << QStringLiteral("(%1)").arg(p);
                        return positions.join(u',');
                    }())
               .arg(kCountedLength)
               .arg(QLatin1String(kSqliteYearGlob));
    return statements;
}

// The server: the same keys from a function, and the triggers work per
// statement, so that a copy of many rows updates each key once. Keys are
// changed in ascending order: every change of a barcoded row takes key 0
// first, so that writers never wait for each other in a circle. The trigger
// and the count run with their owner's rights (in `schema` only), so that a
// desk user who may write the registers needs no right on 制码计数.
QStringList serverStatements(const QString& schema)
{
    const QString definer = QStringLiteral("SECURITY DEFINER SET search_path = %1, pg_temp").arg(schema);
    const QString keys =
        QStringLiteral("CREATE OR REPLACE FUNCTION regdesk_code_keys(text, text) RETURNS SETOF integer LANGUAGE sql "
                       "IMMUTABLE PARALLEL SAFE AS $$ SELECT 0 WHERE $2 = '是' UNION SELECT substr($1, p, 4)::integer "
                       "FROM generate_series(1, length($1) - 3) AS p WHERE $2 = '是' AND length($1) <= %1 "
                       "AND substr($1, p, 4) ~ '%2' $$")
            .arg(kCountedLength)
            .arg(QLatin1String(kServerYearPattern));
    const QString apply =
        QStringLiteral(
            "CREATE OR REPLACE FUNCTION regdesk_code_count() RETURNS trigger LANGUAGE plpgsql %1 AS $$ "
            "DECLARE k record; "
            "BEGIN "
            "IF TG_OP = 'TRUNCATE' THEN DELETE FROM 制码计数; RETURN NULL; END IF; "
            "IF TG_OP = 'UPDATE' THEN "
            "  FOR k IN SELECT y FROM regdesk_code_keys(OLD.制码时间, OLD.条码已打) AS y ORDER BY y LOOP "
            "    UPDATE 制码计数 SET 数 = 数 - 1 WHERE 年 = k.y; END LOOP; "
            "  FOR k IN SELECT y FROM regdesk_code_keys(NEW.制码时间, NEW.条码已打) AS y ORDER BY y LOOP "
            "    INSERT INTO 制码计数 (年, 数) VALUES (k.y, 1) ON CONFLICT (年) DO UPDATE SET 数 = 制码计数.数 + 1; "
            "  END LOOP; "
            "  RETURN NULL; "
            "END IF; "
            "IF TG_OP = 'INSERT' THEN "
            "  FOR k IN SELECT y, count(*) AS n FROM 新行, regdesk_code_keys(新行.制码时间, 新行.条码已打) AS y "
            "           GROUP BY y ORDER BY y LOOP "
            "    INSERT INTO 制码计数 (年, 数) VALUES (k.y, k.n) ON CONFLICT (年) DO UPDATE SET 数 = 制码计数.数 + "
            "k.n; "
            "  END LOOP; "
            "ELSE "
            "  FOR k IN SELECT y, count(*) AS n FROM 旧行, regdesk_code_keys(旧行.制码时间, 旧行.条码已打) AS y "
            "           GROUP BY y ORDER BY y LOOP "
            "    UPDATE 制码计数 SET 数 = 数 - k.n WHERE 年 = k.y; END LOOP; "
            "END IF; "
            "RETURN NULL; "
            "END $$")
            .arg(definer);
    // The count of a year, or of all years (NULL); long texts are in the counter only under 0.
    const QString barcodes =
        QStringLiteral("CREATE OR REPLACE FUNCTION regdesk_code_barcodes(integer) RETURNS bigint LANGUAGE sql STABLE "
                       "%1 AS $$ SELECT coalesce((SELECT 数 FROM 制码计数 WHERE 年 = coalesce($1, 0)), 0) + "
                       "CASE WHEN $1 IS NULL THEN 0 ELSE (SELECT count(*) FROM 发文登记表 WHERE 条码已打 = '是' AND "
                       "%2 AND 制码时间 LIKE '%' || $1 || '%') END $$")
            .arg(definer, longCondition(true));
    QStringList statements = {keys, apply};
    for (const QString& trigger : triggers(true))
        statements << QStringLiteral("DROP TRIGGER IF EXISTS %1 ON 发文登记表").arg(trigger);
    statements << QStringLiteral("DROP TABLE IF EXISTS %1").arg(QString::fromUtf8(kTableName))
               << QStringLiteral("DROP INDEX IF EXISTS %1").arg(QString::fromUtf8(kLongIndexName))
               << QStringLiteral("CREATE TABLE %1 (年 integer PRIMARY KEY, 数 bigint NOT NULL)")
                      .arg(QString::fromUtf8(kTableName))
               << barcodes // its body is checked against the table when made
               // On the row id, not the text: a long text would not fit a B-tree entry.
               << QStringLiteral("CREATE INDEX %1 ON 发文登记表 (rowid) WHERE 条码已打 = '是' AND %2")
                      .arg(QString::fromUtf8(kLongIndexName), longCondition(true))
               // A hash: code numbers of any length, looked up only by equality.
               << QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON 发文登记表 USING hash (制码号)")
                      .arg(QString::fromUtf8(kCodeIndexName))
               << QStringLiteral("CREATE TRIGGER %1 AFTER INSERT ON 发文登记表 REFERENCING NEW TABLE AS 新行 "
                                 "FOR EACH STATEMENT EXECUTE FUNCTION regdesk_code_count()")
                      .arg(triggers(true)[0])
               << QStringLiteral("CREATE TRIGGER %1 AFTER DELETE ON 发文登记表 REFERENCING OLD TABLE AS 旧行 "
                                 "FOR EACH STATEMENT EXECUTE FUNCTION regdesk_code_count()")
                      .arg(triggers(true)[1])
               << QStringLiteral("CREATE TRIGGER %1 AFTER UPDATE OF 制码时间, 条码已打 ON 发文登记表 "
                                 "FOR EACH ROW EXECUTE FUNCTION regdesk_code_count()")
                      .arg(triggers(true)[2])
               << QStringLiteral("CREATE TRIGGER %1 AFTER TRUNCATE ON 发文登记表 "
                                 "FOR EACH STATEMENT EXECUTE FUNCTION regdesk_code_count()")
                      .arg(triggers(true)[3])
               << QStringLiteral(
                      "INSERT INTO %1 (年, 数) SELECT y, sum(g.n) FROM (SELECT 制码时间 AS v, 条码已打 AS b, "
                      "count(*) AS n FROM 发文登记表 GROUP BY 1, 2) AS g, regdesk_code_keys(g.v, g.b) AS y "
                      "GROUP BY y")
                      .arg(QString::fromUtf8(kTableName));
    return statements;
}

std::optional<qint64> single(QSqlQuery& query, QString& failure)
{
    if (!query.exec() || !query.next()) {
        failure = describe(query.lastError());
        return std::nullopt;
    }
    return query.value(0).toLongLong();
}

} // namespace

QString counterTable()
{
    return QString::fromUtf8(kTableName);
}

bool isInstalled(const QSqlDatabase& database)
{
    const bool server = isServer(database);
    const QStringList names = triggers(server);
    const QString marks = QStringLiteral("?, ").repeated(names.size() - 1) + u'?';
    QSqlQuery query(database);
    // Disabled triggers (ALTER TABLE ... DISABLE TRIGGER) leave the counter behind.
    query.prepare(server ? QStringLiteral("SELECT to_regclass(?) IS NOT NULL AND to_regclass(?) IS NOT NULL AND "
                                          "to_regprocedure('regdesk_code_barcodes(integer)') IS NOT NULL AND "
                                          "(SELECT count(*) FROM pg_trigger WHERE tgrelid = to_regclass('发文登记表') "
                                          "AND tgenabled <> 'D' AND tgname IN (%1)) = %2")
                               .arg(marks)
                               .arg(names.size())
                         : QStringLiteral("SELECT count(*) = %2 + 2 FROM sqlite_master WHERE "
                                          "(name = ? AND type = 'table') OR (name = ? AND type = 'index') OR "
                                          "(type = 'trigger' AND tbl_name = '发文登记表' AND name IN (%1))")
                               .arg(marks)
                               .arg(names.size()));
    query.addBindValue(QString::fromUtf8(kTableName));
    query.addBindValue(QString::fromUtf8(kLongIndexName));
    for (const QString& name : names)
        query.addBindValue(name);
    return query.exec() && query.next() && query.value(0).toBool();
}

QString installInTransaction(const QSqlDatabase& database)
{
    QSqlQuery query(database);
    QString schema;
    if (isServer(database)) {
        // The re-creation drops what may not be there: no notice of each to the terminal.
        if (!query.exec(QStringLiteral("SET LOCAL client_min_messages = warning")) ||
            !query.exec(QStringLiteral("SELECT quote_ident(current_schema())")) || !query.next())
            return describe(query.lastError());
        schema = query.value(0).toString();
    }
    for (const QString& statement : isServer(database) ? serverStatements(schema) : sqliteStatements()) {
        if (!query.exec(statement))
            return describe(query.lastError());
    }
    return {};
}

QString install(const QSqlDatabase& database)
{
    TransactionGuard transaction(database);
    if (!transaction.isOpen())
        return describe(database.lastError());
    if (QString failure = installInTransaction(database); !failure.isEmpty())
        return failure;
    if (!transaction.commit())
        return describe(database.lastError());
    return {};
}

QString countedRowCondition(std::optional<int> year)
{
    // As the statement has it: 条码已打 compared as written ('是' has no
    // letter whose case could differ), the year as "%d".
    const QString barcoded = QStringLiteral("条码已打 = '是'");
    return year ? barcoded + QStringLiteral(" AND 制码时间 LIKE '%%1%'").arg(*year) : barcoded;
}

Result count(const QSqlDatabase& database, std::optional<int> year)
{
    Result result;
    QSqlQuery query(database);
    if ((!year || (*year >= 1000 && *year <= 9999)) && isInstalled(database) && isServer(database)) {
        query.prepare(QStringLiteral("SELECT regdesk_code_barcodes(%1)")
                          .arg(year ? QString::number(*year) : QStringLiteral("NULL")));
    } else if ((!year || (*year >= 1000 && *year <= 9999)) && isInstalled(database)) {
        const QString counted =
            QStringLiteral("coalesce((SELECT 数 FROM %1 WHERE 年 = %2), 0)").arg(counterTable()).arg(year.value_or(0));
        // Long texts are in the counter only under 0 (all barcoded rows).
        query.prepare(year ? QStringLiteral("SELECT %1 + (SELECT count(*) FROM 发文登记表 WHERE 条码已打 = '是' AND "
                                            "%2 AND 制码时间 LIKE '%%3%')")
                                 .arg(counted, longCondition(false))
                                 .arg(*year)
                           : QStringLiteral("SELECT %1").arg(counted));
    } else {
        const GbkString statement =
            year ? RegisterStatements::selectCodeTimesOfYear(*year) : RegisterStatements::selectCodeTimes();
        query.prepare(SqlDialect::translate(RegisterStatements::countRowsOf(statement), SqlDialect::kindOf(database)));
    }
    if (const std::optional<qint64> rows = single(query, result.failure))
        result.rows = *rows;
    return result;
}

} // namespace regdesk::BarcodeCount
