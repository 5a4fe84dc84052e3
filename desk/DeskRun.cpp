#include "desk/DeskRun.h"

#include "db/AdoDatabase.h"
#include "desk/AddinDesk.h"
#include "desk/AddinRegistrationDialog.h"
#include "desk/DeskStartup.h"
#include "desk/IntakeServer.h"
#include "desk/RegistrationDesk.h"
#include "desk/RegistrationDialog.h"
#include "platform/DiagnosticsLog.h"
#include "platform/FileSystem.h"
#include "platform/ScreenFit.h"
#include "settings/AppPaths.h"

#include <QFile>

namespace regdesk {

int runDesk(Prompter& prompter, const DeskSeams& seams)
{
    AdoDatabase database(prompter);
    DeskStartup startup(database, prompter);
    if (!AppPaths::documentPath().empty()) {
        AddinRegistrationDialog form;
        // Without its database the form closes before it is ever shown.
        if (!startup.connect(&form))
            return 0;
        AddinDesk desk(form, prompter, seams);
        FormStart start = startup.formStart(form.documentDate().year());
        form.initialise(start);
        desk.addin().start();
        fitFormToScreen(form);
        form.exec();
    } else {
        RegistrationDialog form;
        if (!startup.connect(&form))
            return 0;
        RegistrationDesk desk(form, database, prompter, seams);
        // Files handed over by regdesk-intake arrive as if dropped onto the form.
        IntakeServer intake([&form, &desk](const QStringList& paths) {
            form.raise();
            form.activateWindow();
            desk.files().takeFiles(paths);
        });
        if (!intake.listen(QFile::decodeName(toNativePath(AppPaths::programDirectory()).c_str())))
            DiagnosticsLog::forDesk(AppPaths::programDirectory(), "regdesk")
                .write(LogPriority::Warning,
                       "regdesk-intake cannot hand files to this desk: " + intake.errorString().toStdString());
        desk.incoming().start();
        FormStart start = startup.formStart(form.documentDate().year());
        form.initialise(start);
        fitFormToScreen(form);
        form.exec();
    }
    AdoDatabase::setActiveConnection(nullptr);
    return 0;
}

} // namespace regdesk
