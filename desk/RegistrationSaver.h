#pragma once

#include "desk/RegistrationSaving.h"

#include <QObject>

namespace regdesk {

class Prompter;
class RegistrationView;

// 保存 (1025) in both modes: the selected rows of the form's list go into
// the register of the form's mode.
class RegistrationSaver final : public QObject
{
    Q_OBJECT

public:
    RegistrationSaver(RegistrationView& view, Prompter& prompter, RegisterStore& store);

    SaveOutcome saveSelectedRows();
    // Whether the last save put a row of this 发文号 into the register.
    bool lastSaveRegistered(const GbkString& number) const;

signals:
    // A save has ended (whether by the button or after a barcode's pick-up).
    void finished(regdesk::SaveOutcome outcome);

private:
    RegistrationView& m_view;
    Prompter& m_prompter;
    RegisterStore& m_store;
    std::vector<GbkString> m_lastSaved;
};

} // namespace regdesk
