#pragma once

#include "platform/Gbk.h"

#include <functional>
#include <memory>

namespace regdesk {

class DbConnection;
class DesktopOpener;
class Prompter;
class QueryDialog;

struct QueryWindowSeams
{
    std::shared_ptr<DbConnection> connection; // the desk's active connection
    GbkString settingsPath;
    Prompter& prompter;
    DesktopOpener& opener;
    // Called with the window before it runs, to wire its "打印excel清单".
    std::function<void(QueryDialog&)> prepare = {};
};

// 收发文查询: builds the query window without an owner, runs it modally
// and destroys it when it closes.
void runQueryWindow(const QueryWindowSeams& seams);

} // namespace regdesk
