#include "query/QueryWindow.h"

#include "db/SqliteRegisterSearch.h"
#include "query/QueryDialog.h"

namespace regdesk {

void runQueryWindow(const QueryWindowSeams& seams)
{
    SqliteRegisterSearch search(seams.connection);
    QueryDialog window(QuerySeams{seams.connection, search, seams.prompter, seams.opener, seams.settingsPath});
    if (seams.prepare)
        seams.prepare(window);
    window.exec();
}

} // namespace regdesk
