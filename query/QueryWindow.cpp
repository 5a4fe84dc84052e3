#include "query/QueryWindow.h"

#include "db/RegisterSearch.h"
#include "list/RegisterListCells.h"
#include "platform/BackgroundWork.h"
#include "platform/ScreenFit.h"
#include "printing/ExcelListPrinter.h"
#include "printing/QtPrintProgress.h"
#include "query/QueryDialog.h"

namespace regdesk {

void runQueryWindow(const QueryWindowSeams& seams)
{
    const std::unique_ptr<RegisterSearch> search = makeRegisterSearch(seams.connection);
    QueryDialog window(QuerySeams{seams.connection, *search, seams.prompter, seams.opener, seams.settingsPath});
    if (seams.prepare)
        seams.prepare(window);
    fitFormToScreen(window);
    window.exec();
}

void connectExcelList(QueryDialog& window, ExcelService& service, Prompter& prompter, DesktopOpener& opener,
                      const GbkString& settingsPath)
{
    QObject::connect(&window, &QueryDialog::excelListRequested, &window,
                     [&window, &service, &prompter, &opener, settingsPath] {
                         const RegisterListCells rows(window.registerList());
                         QtPrintProgress progress(window.progressBar());
                         ExcelListPrinter printer(service, prompter, opener, settingsPath,
                                                  ExcelListPrinter::currentFolder(), &window);
                         // The list is filled and converted on a thread of its own; the window keeps painting.
                         printer.setRunner([](const std::function<void()>& work) {
                             runInBackground([&work] {
                                 work();
                                 return QString();
                             });
                         });
                         printer.print(rows, progress);
                     });
}

} // namespace regdesk
