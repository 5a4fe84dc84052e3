#include "desk/AddinRegistrationDialog.h"

#include "desk/RegistrationFormLogic.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace regdesk {

const std::vector<int>& AddinRegistrationDialog::hiddenButtons()
{
    static const std::vector<int> buttons = {CellEditButton, SaveButton,   BarcodeButton,
                                             ModeButton,     QueryButton,  ImportPeopleButton,
                                             CompactButton,  BackupButton, PrintTitlesButton};
    return buttons;
}

AddinRegistrationDialog::AddinRegistrationDialog(QWidget* parent)
    : RegistrationForm(RegistrationFormLogic::compactListWidthString(), kIcon, kIcon, parent)
{
    const FieldPlace fields[] = {
        {"发文字号：", NumberCombo, 0, 0, 1},     {"标    题：", TitleEdit, 0, 2, 5},
        {"公文种类：", KindEdit, 1, 0, 1},        {"主送单位：", RecipientCombo, 1, 2, 1},
        {"发文单位：", IssuingUnitEdit, 1, 4, 1}, {"发布层次：", LevelEdit, 1, 6, 1},
        {"紧急程度：", UrgencyCombo, 2, 0, 1},    {"密    级：", SecrecyCombo, 2, 2, 1},
        {"制码单位：", CodeUnitEdit, 2, 4, 1},    {"版本：", VersionLabel, 2, 6, 1},
        {"条码编号：", CodeNumberEdit, 3, 0, 1},  {"成文时期：", DocumentDatePicker, 3, 2, 1},
        {"制码日期：", CodeDatePicker, 3, 4, 1},  {"备注：", DrafterEdit, 3, 6, 1},
    };
    QGridLayout* grid = fieldsGrid(fields);

    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(12);
    bottom->addWidget(control(LastNumberLabel), 1);
    bottom->addWidget(control(LastTitleLabel), 2);
    bottom->addWidget(control(EditHintLabel));
    // 保存 sits beside the confirmation, hidden unless a save must be repeated.
    bottom->addWidget(button(SaveButton));
    bottom->addWidget(button(ConfirmButton));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(10);
    layout->addLayout(grid);
    layout->addLayout(bottom);
    layout->addStretch(1);

    control(RegisterList)->hide();
    control(RegisterList)->setEnabled(false);
    for (int id : hiddenButtons()) {
        button(id)->hide();
        button(id)->setEnabled(false);
    }
    button(ConfirmButton)->setDefault(true);
    resize(960, sizeHint().height());

    showMode(RegistrationMode::Incoming, {});
}

void AddinRegistrationDialog::outgoingFieldsShown()
{
    for (int id : hiddenButtons())
        button(id)->setEnabled(false);
}

} // namespace regdesk
