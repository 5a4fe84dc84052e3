#pragma once

#include "platform/Gbk.h"

namespace regdesk {

class SettingsFile;

// Which register database a desk uses, from the section [数据库] of
// document.ini. Without the section (or with 类型 empty or "SQLite") it is
// data.db beside the program, as it always was; with 类型=PostgreSQL it is a
// database on a server that several desks share. No password is kept here:
// libpq finds it itself (~/.pgpass, PGPASSFILE, a service file).
struct DatabaseSettings
{
    enum class Kind
    {
        DataFile,   // data.db in the program directory
        PostgreSql, // 主机, 端口, 库名, 用户
        Unknown,    // a 类型 the desk does not know: it opens nothing
    };

    Kind kind = Kind::DataFile;
    GbkString type;     // 类型 as written
    GbkString host;     // 主机: a name, an address, or the folder of a Unix socket; empty: the local socket
    GbkString port;     // 端口: empty for the server's default
    GbkString database; // 库名
    GbkString user;     // 用户: empty for the login name

    static DatabaseSettings read(const SettingsFile& settings);
    // The settings of the desk folder `programDirectory` (its document.ini).
    static DatabaseSettings ofDirectory(const GbkString& programDirectory);
};

} // namespace regdesk
