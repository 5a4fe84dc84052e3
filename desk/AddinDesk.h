#pragma once

#include "desk/AddinRegistration.h"
#include "desk/DeskControllers.h"

namespace regdesk {

// The compact add-in form's controllers: the shared ones and add-in mode. No
// scanner, no maintenance, no personnel import, no title catalogue.
class AddinDesk final : public DeskControllers
{
public:
    AddinDesk(RegistrationView& form, Prompter& prompter, const DeskSeams& seams)
        : DeskControllers(form, prompter, seams), m_addin(form, prompter, modes(), outgoing(), saver())
    {}

    AddinRegistration& addin() { return m_addin; }

private:
    AddinRegistration m_addin;
};

} // namespace regdesk
