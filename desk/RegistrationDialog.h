#pragma once

#include "desk/RegistrationForm.h"

namespace regdesk {

// The full registration form. Two modes share one set of fields: 收文登记
// (fields filled by the scanner) and 发文登记 (fields typed by the clerk).
// Below the fields lie all the buttons and the registration list, which
// collects confirmed rows until they are saved. Enter never closes it.
class RegistrationDialog : public RegistrationForm
{
    Q_OBJECT

public:
    static constexpr int kIncomingIcon = 290;
    static constexpr int kOutgoingIcon = 292;

    explicit RegistrationDialog(QWidget* parent = nullptr);

protected:
    // The title takes the focus, ready for typing.
    void outgoingFieldsShown() override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace regdesk
