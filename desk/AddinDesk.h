#pragma once

#include "desk/AddinRegistration.h"
#include "desk/DeskControllers.h"
#include "desk/RegistrationEvents.h"
#include "desk/RegistrationView.h"
#include "settings/AppPaths.h"
#include "settings/UserGuide.h"

namespace regdesk {

// The compact add-in form's controllers: the shared ones and add-in mode. No
// scanner, no maintenance, no personnel import, no title catalogue. F1 opens
// the guide's chapter of the compact form.
class AddinDesk final : public DeskControllers
{
public:
    AddinDesk(RegistrationView& form, Prompter& prompter, const DeskSeams& seams)
        : DeskControllers(form, prompter, seams), m_addin(form, prompter, modes(), outgoing(), saver())
    {
        QObject::connect(
            &form.events(), &RegistrationEvents::helpRequested, &m_addin, [&form, &prompter, &opener = seams.opener] {
                openUserGuide(opener, prompter, form.boxOwner(), AppPaths::programsFolder(), GuideChapter::AddinForm);
            });
    }

    AddinRegistration& addin() { return m_addin; }

private:
    AddinRegistration m_addin;
};

} // namespace regdesk
