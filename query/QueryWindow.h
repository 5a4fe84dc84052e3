#pragma once

#include "platform/Gbk.h"

#include <functional>
#include <memory>

namespace regdesk {

class DbConnection;
class DesktopOpener;
class ExcelService;
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

// Makes the window's "打印excel清单" print its selected rows through
// `service` (one for the program's run: the template is converted once),
// into the current folder, with the window's progress bar. All given must
// outlive the window.
void connectExcelList(QueryDialog& window, ExcelService& service, Prompter& prompter, DesktopOpener& opener,
                      const GbkString& settingsPath);

} // namespace regdesk
