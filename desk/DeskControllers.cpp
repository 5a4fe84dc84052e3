#include "desk/DeskControllers.h"

namespace regdesk {

DeskControllers::DeskControllers(RegistrationView& form, Prompter& prompter, const DeskSeams& seams)
    : m_modes(form, prompter), m_saver(form, prompter, m_store),
      m_outgoing(form, prompter, m_outgoingRegister, m_saver, seams.launcher, seams.processes, seams.clock,
                 seams.opener)
{}

} // namespace regdesk
