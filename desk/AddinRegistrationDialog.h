#pragma once

#include "desk/RegistrationForm.h"

namespace regdesk {

// The compact registration form of an add-in start: the full form's fields
// and handlers in a smaller window, for registering one document that a word
// processor handed over. The registration list and the buttons other than
// 发文信息确认 exist but stay hidden and disabled; the list still receives the
// confirmed row. 发文信息确认 is the default button, so Enter on a combo box or
// a date picker confirms (the plain fields turn Enter into Tab).
class AddinRegistrationDialog : public RegistrationForm
{
    Q_OBJECT

public:
    // One icon for both modes.
    static constexpr int kIcon = 292;

    explicit AddinRegistrationDialog(QWidget* parent = nullptr);

    // The buttons the compact form keeps hidden and disabled.
    static const std::vector<int>& hiddenButtons();

protected:
    // The focus stays where it is; the hidden buttons stay off.
    void outgoingFieldsShown() override;
};

} // namespace regdesk
