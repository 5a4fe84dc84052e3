#pragma once

#include "db/AdoRecordset.h"
#include "platform/Gbk.h"

#include <vector>

class QWidget;

namespace regdesk {

class AdoDatabase;
class Prompter;

// What a registration form shows from the start.
struct FormStart
{
    AdoRecordset people;                   // the drafter's completion source (人员信息表)
    std::vector<GbkString> numberPrefixes; // 发文型式 with the year, at most ten
    std::vector<GbkString> recipientUnits; // 主送单位
};

// The work of a form's start-up that needs no window: the database
// connection and what the form is given to show. Settings come from
// document.ini and the database from data.db in the program directory.
class DeskStartup
{
public:
    DeskStartup(AdoDatabase& database, Prompter& prompter) : m_database(database), m_prompter(prompter) {}

    // Opens data.db and makes it the active connection. Without it the clerk
    // is told "连接服务器失败，请重新配置！" (the box owned by `owner`) and the
    // form must close: false. Also serves to reconnect after maintenance.
    bool connect(QWidget* owner);

    // The people for the drafter's completion and the lists of the settings;
    // `year` goes into the number prefixes.
    FormStart formStart(int year) const;

private:
    AdoDatabase& m_database;
    Prompter& m_prompter;
};

} // namespace regdesk
