#include "desk/RegistrationSaver.h"

#include "desk/PrompterNoticeBoard.h"
#include "desk/RegisterRows.h"
#include "desk/RegistrationEvents.h"
#include "desk/RegistrationView.h"

#include <algorithm>

namespace regdesk {

RegistrationSaver::RegistrationSaver(RegistrationView& view, Prompter& prompter, RegisterStore& store)
    : m_view(view), m_prompter(prompter), m_store(store)
{
    connect(&view.events(), &RegistrationEvents::saveRequested, this, [this] { saveSelectedRows(); });
}

SaveOutcome RegistrationSaver::saveSelectedRows()
{
    PrompterNoticeBoard notices(m_prompter, m_view.boxOwner());
    m_lastSaved.clear();
    const SaveOutcome outcome =
        RegistrationSaving::saveSelectedRows(m_view.mode(), m_view.rows(), m_store, notices, &m_lastSaved);
    if (outcome == SaveOutcome::Finished)
        m_view.setCodeNumber({});
    emit finished(outcome);
    return outcome;
}

bool RegistrationSaver::lastSaveRegistered(const GbkString& number) const
{
    return std::find(m_lastSaved.begin(), m_lastSaved.end(), number) != m_lastSaved.end();
}

} // namespace regdesk
