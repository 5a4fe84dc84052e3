#include "desk/RegistrationSaver.h"

#include "desk/PrompterNoticeBoard.h"
#include "desk/RegisterRows.h"
#include "desk/RegistrationEvents.h"
#include "desk/RegistrationView.h"

namespace regdesk {

RegistrationSaver::RegistrationSaver(RegistrationView& view, Prompter& prompter, RegisterStore& store)
    : m_view(view), m_prompter(prompter), m_store(store)
{
    connect(&view.events(), &RegistrationEvents::saveRequested, this, [this] { saveSelectedRows(); });
}

SaveOutcome RegistrationSaver::saveSelectedRows()
{
    PrompterNoticeBoard notices(m_prompter, m_view.boxOwner());
    const SaveOutcome outcome = RegistrationSaving::saveSelectedRows(m_view.mode(), m_view.rows(), m_store, notices);
    if (outcome == SaveOutcome::Finished)
        m_view.setCodeNumber({});
    emit finished(outcome);
    return outcome;
}

} // namespace regdesk
