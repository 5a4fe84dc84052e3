#pragma once

#include "db/MaintenanceController.h"
#include "desk/DeskControllers.h"
#include "desk/FileIntake.h"
#include "desk/IncomingRegistration.h"
#include "people/PeopleTable.h"
#include "platform/OfficeConverter.h"
#include "scanner/IncomingList.h"

#include <QObject>

namespace regdesk {

class AdoDatabase;

// The full registration form's controllers: the shared ones, the scanner,
// 压缩库 and 备份库 on `database` (a reconnect that fails closes the form),
// 打印标题 over the form's list and 更新人员表, after which the drafter's
// completion lists the new names; 收发文查询 with its Excel list, and a file
// chosen for a list row by a double click.
class RegistrationDesk final : public QObject, public DeskControllers
{
    Q_OBJECT

public:
    RegistrationDesk(RegistrationView& form, AdoDatabase& database, Prompter& prompter, const DeskSeams& seams);

    IncomingRegistration& incoming() { return m_incoming; }
    FileIntake& files() { return m_files; }
    MaintenanceController& maintenance() { return m_maintenance; }

    void printTitles();     // 1014
    void importPeople();    // 1319
    void openQueryWindow(); // 110, modal over the active connection
    // Chooses the file that `row` attaches when it is saved.
    void chooseAttachment(int row);

private:
    RegistrationView& m_form;
    Prompter& m_prompter;
    DesktopOpener& m_opener;
    ExcelService& m_excel;
    SqlIncomingRegister m_incomingRegister;
    IncomingRegistration m_incoming;
    FileIntake m_files;
    MaintenanceController m_maintenance;
    SqlPeopleTable m_people;
    OfficeConverter m_converter;
};

} // namespace regdesk
