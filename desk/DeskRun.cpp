#include "desk/DeskRun.h"

#include "db/AdoDatabase.h"
#include "desk/AddinDesk.h"
#include "desk/AddinRegistrationDialog.h"
#include "desk/DeskStartup.h"
#include "desk/RegistrationDesk.h"
#include "desk/RegistrationDialog.h"
#include "platform/ScreenFit.h"
#include "settings/AppPaths.h"

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
