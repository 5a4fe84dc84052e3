#include "desk/RegistrationDesk.h"

#include "db/AdoDatabase.h"
#include "db/AdoRecordset.h"
#include "db/RegisterStatements.h"
#include "desk/FormAttachment.h"
#include "desk/RegistrationEvents.h"
#include "desk/RegistrationView.h"
#include "people/PeopleImport.h"
#include "people/PinyinIndex.h"
#include "platform/BackgroundWork.h"
#include "printing/TitleCatalogue.h"
#include "query/QueryWindow.h"
#include "settings/AppPaths.h"
#include "settings/UserGuide.h"

#include <QProgressDialog>
#include <atomic>
#include <memory>

namespace regdesk {

namespace {

// The box shows only when an import takes longer than this.
constexpr int kImportProgressDelayMs = 400;

// The newest row counted, posted to the box one update at a time.
struct ImportProgress
{
    std::atomic<int> done{0};
    std::atomic<int> total{0};
    std::atomic<bool> posted{false};
};

} // namespace

RegistrationDesk::RegistrationDesk(RegistrationView& form, AdoDatabase& database, Prompter& prompter,
                                   const DeskSeams& seams)
    : DeskControllers(form, prompter, seams), m_form(form), m_prompter(prompter), m_opener(seams.opener),
      m_excel(seams.excel), m_incoming(form, prompter, m_incomingRegister),
      m_files(form, prompter, m_incoming.intake()),
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
    connect(&events, &RegistrationEvents::helpRequested, this, [this] {
        openUserGuide(m_opener, m_prompter, m_form.boxOwner(), AppPaths::programsFolder(),
                      GuideChapter::RegistrationForm);
    });
}

void RegistrationDesk::printTitles()
{
    TitleCatalogue(AppPaths::settingsPath(), m_prompter, m_form.boxOwner()).print(m_form.listCells());
}

void RegistrationDesk::importPeople()
{
    PeopleImport peopleImport(m_prompter, m_form.boxOwner(), m_people, &PinyinIndex::initials, m_converter);
    // The file is converted and read on a thread of its own; the form keeps
    // painting meanwhile, and a progress box counts the rows read. The box lives
    // only while the work runs: not over the file dialog, not over the messages.
    std::unique_ptr<QProgressDialog> progress;
    QObject updates; // receives the posted updates; gone (with those still queued) before the box
    auto latest = std::make_shared<ImportProgress>();
    peopleImport.setProgress([&progress, &updates, latest](int done, int total) {
        latest->done = done;
        latest->total = total;
        if (latest->posted.exchange(true))
            return; // the update on its way shows the latest row
        QMetaObject::invokeMethod(
            &updates,
            [&progress, latest] {
                latest->posted = false;
                if (!progress)
                    return;
                progress->setMaximum(latest->total);
                progress->setValue(latest->done);
            },
            Qt::QueuedConnection);
    });
    QWidget* owner = m_form.boxOwner();
    peopleImport.setRunner([&progress, owner](const std::function<void()>& work) {
        progress = std::make_unique<QProgressDialog>(QStringLiteral("正在导入人员名单…"), QString(), 0, 0, owner);
        progress->setWindowTitle(QStringLiteral("导入人员"));
        progress->setWindowModality(Qt::WindowModal);
        progress->setAutoReset(false);
        progress->setAutoClose(false);
        progress->setMinimumDuration(kImportProgressDelayMs);
        runInBackground([&work] {
            work();
            return QString();
        });
        progress.reset();
    });
    const bool namesChanged = peopleImport.run().namesChanged();
    if (!namesChanged)
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
