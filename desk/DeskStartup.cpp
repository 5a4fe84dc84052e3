#include "desk/DeskStartup.h"

#include "db/AdoDatabase.h"
#include "db/RegisterStatements.h"
#include "desk/RegistrationFormLogic.h"
#include "platform/DiagnosticsLog.h"
#include "platform/Prompter.h"
#include "settings/AppPaths.h"
#include "settings/SettingsFile.h"

namespace regdesk {

bool DeskStartup::connect(QWidget* owner)
{
    if (!m_database.openConnection(AdoDatabase::connectionStringFor(AppPaths::programDirectory()))) {
        DiagnosticsLog::forDesk(AppPaths::programDirectory(), "regdesk")
            .write(LogPriority::Error, "cannot open the register: " + m_database.lastFailure().toStdString());
        m_prompter.ask(owner,
                       Prompter::Message{QStringLiteral("连接服务器失败，请重新配置！"), QStringLiteral("系统提示")});
        return false;
    }
    AdoDatabase::setActiveConnection(m_database.connection());
    return true;
}

FormStart DeskStartup::formStart(int year) const
{
    FormStart start;
    start.people.openQuery(RegisterStatements::selectPeople());
    const SettingsFile settings(AppPaths::settingsPath());
    start.numberPrefixes = RegistrationFormLogic::numberPrefixes(settings, year);
    start.recipientUnits = RegistrationFormLogic::recipientUnits(settings);
    return start;
}

} // namespace regdesk
