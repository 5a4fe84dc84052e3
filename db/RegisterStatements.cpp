#include "db/RegisterStatements.h"

#include <string>

namespace regdesk {

GbkString escapeSqlText(const GbkString& value)
{
    // 0x27 is never the second byte of a GBK character, so doubling it byte by
    // byte cannot split a character.
    GbkString escaped;
    escaped.reserve(value.size() + 2);
    for (const char c : value) {
        escaped += c;
        if (c == '\'')
            escaped += '\'';
    }
    return escaped;
}

GbkString formatSql(const GbkString& format, std::initializer_list<SqlArgument> arguments)
{
    GbkString out;
    auto next = arguments.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 >= format.size()) {
            out += format[i];
            continue;
        }
        const char conversion = format[++i];
        if (conversion == '%') {
            out += '%';
            continue;
        }
        if (next == arguments.end())
            continue; // a format with more holes than values: leave the hole empty
        const SqlArgument& argument = *next++;
        if (const auto* name = std::get_if<SqlName>(&argument))
            out += name->text;
        else if (const auto* text = std::get_if<GbkString>(&argument))
            out += escapeSqlText(*text);
        else
            out += std::to_string(std::get<int>(argument));
    }
    return out;
}

namespace RegisterStatements {
namespace {

GbkString quotedItems(int count)
{
    GbkString items;
    for (int i = 0; i < count; ++i)
        items += i == 0 ? "'%s'" : ",'%s'";
    return items;
}

} // namespace

GbkString outgoingTable()
{
    return "发文登记表"_gbk;
}

GbkString incomingTable()
{
    return "收文登记表"_gbk;
}

GbkString selectNumber(const GbkString& table, const GbkString& number)
{
    return formatSql("SELECT 发文号 FROM %s WHERE 发文号='%s'"_gbk, {SqlName{table}, number});
}

GbkString selectRecordsOfNumber(const GbkString& table, const GbkString& number)
{
    return formatSql("SELECT rowid, 发文号, 标题, 密级, 文种, 主送, 发布层次, 发文单位, 紧急程度, 成文日期, 制码号, "
                     "制码单位, 制码时间, 版本, 备注, 条码已打, 文件类型 FROM %s WHERE 发文号='%s'"_gbk,
                     {SqlName{table}, number});
}

GbkString deleteNumber(const GbkString& table, const GbkString& number)
{
    return formatSql("DELETE FROM %s WHERE 发文号='%s' "_gbk, {SqlName{table}, number});
}

GbkString insertOutgoing(const GbkString& table, const DocumentRecord& record)
{
    const GbkString format = "INSERT INTO %s (发文号, 标题, 密级, 文种, 主送, 发布层次, 发文单位, 紧急程度,  成文日期, "
                             "制码号, 制码单位, 制码时间, 版本 ,备注 ,条码已打)  VALUES ("_gbk +
                             quotedItems(15) + ")";
    const auto& f = record.fields;
    return formatSql(format, {SqlName{table}, f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], f[10], f[11],
                              f[12], f[13], record.barcodeMade});
}

GbkString insertIncoming(const GbkString& table, const DocumentRecord& record)
{
    const GbkString format = "INSERT INTO %s (发文号, 标题, 密级, 文种, 主送, 发布层次, 发文单位, 紧急程度, 成文日期, "
                             "制码号, 制码单位, 制码时间, 版本 ,备注)  VALUES ("_gbk +
                             quotedItems(14) + ")";
    const auto& f = record.fields;
    return formatSql(format, {SqlName{table}, f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], f[10], f[11],
                              f[12], f[13]});
}

GbkString updateFileType(const GbkString& table, const GbkString& fileType, const GbkString& number)
{
    return formatSql("UPDATE %s SET 文件类型='%s' WHERE 发文号='%s' "_gbk, {SqlName{table}, fileType, number});
}

GbkString selectNumbersOfYear(int year)
{
    return formatSql("SELECT 发文号 FROM 发文登记表 WHERE 发文号 LIKE '%%%d%%'"_gbk, {year});
}

GbkString selectNumbersOfYearContaining(int year, const GbkString& text)
{
    return formatSql("SELECT 发文号 FROM (%s) DERIVEDTBL WHERE 发文号 LIKE '%%%s%%'"_gbk,
                     {SqlName{selectNumbersOfYear(year)}, text});
}

GbkString selectNumbersOfYearHeadedBy(int year, const GbkString& prefix)
{
    // Every blank the desk trims (space, tab, line feed, CR) sorts before "!".
    // A range, not one LIKE per blank: SQLite reads either through the index of
    // 发文号, but PostgreSQL would repeat its fragment search for each LIKE.
    return formatSql("SELECT 发文号 FROM (%s) DERIVEDTBL WHERE 发文号 LIKE '%s%%' OR 发文号 < '!'"_gbk,
                     {SqlName{selectNumbersOfYearContaining(year, prefix)}, prefix});
}

GbkString countRowsOf(const GbkString& select)
{
    return "SELECT count(*) FROM (" + select + ") DERIVEDTBL";
}

GbkString selectOutgoingTitle(const GbkString& number)
{
    return formatSql("SELECT 标题 FROM 发文登记表 WHERE 发文号 = '%s'"_gbk, {number});
}

GbkString selectCodeTimesOfYear(int year)
{
    return formatSql("SELECT 制码时间 FROM 发文登记表 WHERE 制码时间 LIKE '%%%d%%' AND 条码已打='是'"_gbk, {year});
}

GbkString selectCodeTimes()
{
    return "SELECT 制码时间 FROM 发文登记表 WHERE 条码已打='是'"_gbk;
}

GbkString selectIncomingNumber(const GbkString& number)
{
    return formatSql("SELECT 发文号 FROM 收文登记表 WHERE 发文号='%s'"_gbk, {number});
}

GbkString selectFileData(const GbkString& table, const GbkString& number)
{
    return formatSql("Select 文件数据 FROM %s where 发文号='%s'"_gbk, {SqlName{table}, number});
}

GbkString selectFileDataAndType(const GbkString& table, const GbkString& number)
{
    return formatSql("Select 文件数据,文件类型 FROM %s where 发文号='%s'"_gbk, {SqlName{table}, number});
}

GbkString selectFileType(const GbkString& table, const GbkString& number)
{
    return formatSql("Select 文件类型 FROM  %s where 发文号='%s'"_gbk, {SqlName{table}, number});
}

GbkString clearAttachment(const GbkString& table, const GbkString& number)
{
    return formatSql("UPDATE %s SET 文件数据=NULL, 文件类型=''  where 发文号='%s'"_gbk, {SqlName{table}, number});
}

GbkString deleteRow(const GbkString& table, const GbkString& number)
{
    return formatSql("DELETE * FROM %s where 发文号='%s'"_gbk, {SqlName{table}, number});
}

GbkString selectRegister(const GbkString& table)
{
    return formatSql("SELECT 发文号 , 标题, 密级, 文种, 主送, 发布层次, 发文单位, 紧急程度,  成文日期, 制码号, "
                     "制码单位, 制码时间, 版本 ,备注 ,文件类型 FROM %s"_gbk,
                     {SqlName{table}});
}

GbkString selectIncomingList()
{
    return "SELECT 发文号, 标题, 密级, 文种, 发布层次, 发文单位, 紧急程度, 制码号, 制码单位, 制码时间, 备注 FROM 收文登记表"_gbk;
}

GbkString selectPeople()
{
    return "SELECT 姓名,简称 FROM 人员信息表"_gbk;
}

GbkString deletePeople()
{
    return "DELETE FROM 人员信息表"_gbk;
}

GbkString insertPerson(const GbkString& name, const GbkString& initials)
{
    return formatSql("INSERT INTO 人员信息表 ( 姓名, 简称)  VALUES ('%s','%s')"_gbk, {name, initials});
}

GbkString completeByColumn(const GbkString& source, const GbkString& column, const GbkString& prefix)
{
    return formatSql("SELECT * From %s WHERE %s LIKE'%s%%' ORDER BY %s"_gbk,
                     {SqlName{source}, SqlName{column}, prefix, SqlName{column}});
}

GbkString completeByInitials(const GbkString& source, const GbkString& prefix)
{
    return formatSql("SELECT * From %s  WHERE 简称 LIKE'%s%%' ORDER BY 简称"_gbk, {SqlName{source}, prefix});
}

} // namespace RegisterStatements
} // namespace regdesk
