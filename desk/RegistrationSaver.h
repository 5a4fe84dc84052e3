#pragma once

#include "desk/RegistrationSaving.h"

#include <QObject>

namespace regdesk {

class Prompter;
class RegistrationView;

// 保存 (1025) in both modes: the selected rows of the form's list go into
// the register of the form's mode. A QObject only so that its connections
// end with it.
class RegistrationSaver final : public QObject
{
public:
    RegistrationSaver(RegistrationView& view, Prompter& prompter, RegisterStore& store);

    SaveOutcome saveSelectedRows();

private:
    RegistrationView& m_view;
    Prompter& m_prompter;
    RegisterStore& m_store;
};

} // namespace regdesk
