#include "desk/RegistrationDialog.h"

#include "app/AppPaths.h"
#include "db/AdoDatabase.h"
#include "platform/Prompter.h"

#include <QMetaObject>

namespace regdesk {

RegistrationDialog::RegistrationDialog(AdoDatabase& database, Prompter& prompter, QWidget* parent)
    : QDialog(parent), m_database(database), m_prompter(prompter)
{
    setWindowTitle(QStringLiteral("收文登记"));
}

RegistrationDialog::~RegistrationDialog() = default;

bool RegistrationDialog::initialise()
{
    if (!m_database.openConnection(AdoDatabase::connectionStringFor(AppPaths::programDirectory()))) {
        m_prompter.ask(this,
                       Prompter::Message{QStringLiteral("连接服务器失败，请重新配置！"), QStringLiteral("系统提示")});
        return false;
    }
    AdoDatabase::setActiveConnection(m_database.connection());
    return true;
}

void RegistrationDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_initialised)
        return;
    m_initialised = true;
    if (!initialise())
        QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
}

} // namespace regdesk
