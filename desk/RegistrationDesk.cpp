#include "desk/RegistrationDesk.h"

#include "app/AppPaths.h"
#include "db/AdoDatabase.h"
#include "db/AdoRecordset.h"
#include "db/RegisterStatements.h"
#include "desk/RegistrationEvents.h"
#include "desk/RegistrationView.h"
#include "desk/TitleCatalogue.h"
#include "people/PeopleImport.h"
#include "people/PinyinIndex.h"
#include "query/BackgroundWork.h"
#include "query/FormAttachment.h"
#include "query/QueryWindow.h"

namespace regdesk {

RegistrationDesk::RegistrationDesk(RegistrationView& form, AdoDatabase& database, Prompter& prompter,
                                   const DeskSeams& seams)
    : DeskControllers(form, prompter, seams), m_form(form), m_prompter(prompter), m_opener(seams.opener),
      m_excel(seams.excel), m_incoming(form, prompter, m_incomingRegister),
      m_maintenance(
          database, AppPaths::programDirectory(), prompter, form.boxOwner(),
          [&form] { return form.documentDateTime(); }, [&form] { form.closeForm(); })
{
    const RegistrationEvents& events = form.events();
    connect(&events, &RegistrationEvents::compactRequested, &m_maintenance,
            &MaintenanceController::compactDatabaseFile);
    connect(&events, &RegistrationEvents::backupRequested, &m_maintenance, &MaintenanceController::backupDatabaseFile);
    connect(&events, &RegistrationEvents::printTitlesRequested, this, &RegistrationDesk::printTitles);
    connect(&events, &RegistrationEvents::importPeopleRequested, this, &RegistrationDesk::importPeople);
    connect(&events, &RegistrationEvents::queryRequested, this, &RegistrationDesk::openQueryWindow);
    connect(&events, &RegistrationEvents::rowDoubleClicked, this, &RegistrationDesk::chooseAttachment);
}

void RegistrationDesk::printTitles()
{
    TitleCatalogue(AppPaths::settingsPath(), m_prompter, m_form.boxOwner()).print(m_form.listCells());
}

void RegistrationDesk::importPeople()
{
    PeopleImport import(m_prompter, m_form.boxOwner(), m_people, &PinyinIndex::initials, m_converter);
    // The file is converted and read on a thread of its own; the form keeps painting meanwhile.
    import.setRunner([](const std::function<void()>& work) {
        runInBackground([&work] {
            work();
    return QString();
});
} // namespace regdesk
);
if (!import.run().namesChanged())
    return;
AdoRecordset people;
people.openQuery(RegisterStatements::selectPeople());
m_form.setPeople(people);
}

void RegistrationDesk::openQueryWindow()
{
    // Taken at each opening: maintenance reconnects the desk.
    std::shared_ptr<DbConnection> connection = AdoDatabase::activeConnection();
    if (!connection)
        return;
    const GbkString settingsPath = AppPaths::settingsPath();
    runQueryWindow(
        {std::move(connection), settingsPath, m_prompter, m_opener, [this, settingsPath](QueryDialog& window) {
             connectExcelList(window, m_excel, m_prompter, m_opener, settingsPath);
         }});
}

void RegistrationDesk::chooseAttachment(int row)
{
    FormAttachment::chooseFileForRow(m_form.rows(), row, m_prompter, m_form.boxOwner());
}

} // namespace regdesk
