#include "query/QueryWindow.h"

#include "db/RegisterSearch.h"
#include "query/QueryDialog.h"

namespace regdesk {

void runQueryWindow(const QueryWindowSeams& seams)
{
    const std::unique_ptr<RegisterSearch> search = makeRegisterSearch(seams.connection);
    QueryDialog window(QuerySeams{seams.connection, *search, seams.prompter, seams.opener, seams.settingsPath});
    if (seams.prepare)
        seams.prepare(window);
    window.exec();
}

} // namespace regdesk
