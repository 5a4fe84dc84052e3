#include "desk/RegistrationDesk.h"

#include "app/AppPaths.h"
#include "db/AdoRecordset.h"
#include "db/RegisterStatements.h"
#include "desk/RegistrationEvents.h"
#include "desk/RegistrationView.h"
#include "desk/TitleCatalogue.h"
#include "people/PeopleImport.h"
#include "people/PinyinIndex.h"

namespace regdesk {

RegistrationDesk::RegistrationDesk(RegistrationView& form, AdoDatabase& database, Prompter& prompter,
                                   const DeskSeams& seams)
    : DeskControllers(form, prompter, seams), m_form(form), m_prompter(prompter),
      m_incoming(form, prompter, m_incomingRegister),
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
}

void RegistrationDesk::printTitles()
{
    TitleCatalogue(AppPaths::settingsPath(), m_prompter, m_form.boxOwner()).print(m_form.listCells());
}

void RegistrationDesk::importPeople()
{
    PeopleImport import(m_prompter, m_form.boxOwner(), m_people, &PinyinIndex::initials, m_converter);
    if (!import.run().namesChanged())
        return;
    AdoRecordset people;
    people.openQuery(RegisterStatements::selectPeople());
    m_form.setPeople(people);
}

} // namespace regdesk
