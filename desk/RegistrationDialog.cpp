#include "desk/RegistrationDialog.h"

#include "desk/RegistrationFormLogic.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace regdesk {

RegistrationDialog::RegistrationDialog(QWidget* parent)
    : RegistrationForm(RegistrationFormLogic::listWidthString(), kIncomingIcon, kOutgoingIcon, parent)
{
    const FieldPlace fields[] = {
        {"发文字号：", NumberCombo, 0, 0, 3},     {"标题：", TitleEdit, 0, 4, 3},
        {"公文种类：", KindEdit, 1, 0, 1},        {"主送单位：", RecipientCombo, 1, 2, 1},
        {"发文单位：", IssuingUnitEdit, 1, 4, 1}, {"发布层次：", LevelEdit, 1, 6, 1},
        {"紧急程度：", UrgencyCombo, 2, 0, 1},    {"密级：", SecrecyCombo, 2, 2, 1},
        {"制码单位：", CodeUnitEdit, 2, 4, 1},    {"版本：", VersionLabel, 2, 6, 1},
        {"条码编号：", CodeNumberEdit, 3, 0, 1},  {"成文时期：", DocumentDatePicker, 3, 2, 1},
        {"制码日期：", CodeDatePicker, 3, 4, 1},  {"备注：拟稿人", DrafterEdit, 3, 6, 1},
    };
    // Incoming documents that arrive as files are dropped onto the form.
    setAcceptDrops(true);
    QGridLayout* grid = fieldsGrid(fields);
    grid->addWidget(control(LastNumberLabel), 4, 1, 1, 3);
    grid->addWidget(control(LastTitleLabel), 4, 5, 1, 3);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    for (int id : {ConfirmButton, BarcodeButton, SaveButton})
        buttons->addWidget(button(id));
    buttons->addSpacing(12);
    for (int id : {ModeButton, PrintTitlesButton, QueryButton, CellEditButton})
        buttons->addWidget(button(id));
    buttons->addSpacing(12);
    for (int id : {CompactButton, BackupButton, ImportPeopleButton})
        buttons->addWidget(button(id));
    buttons->addStretch(1);

    auto* hints = new QHBoxLayout;
    hints->setSpacing(24);
    hints->addWidget(new QLabel(QStringLiteral("按Delete键可删除"), this));
    hints->addWidget(new QLabel(QStringLiteral("单击表头排序"), this));
    hints->addWidget(new QLabel(QStringLiteral("双击一行附加文件"), this));
    hints->addStretch(1);
    hints->addWidget(control(EditHintLabel));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(8);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->addLayout(hints);
    layout->addWidget(control(RegisterList), 1);
    resize(1120, 640);

    showMode(RegistrationMode::Incoming, {});
}

void RegistrationDialog::outgoingFieldsShown()
{
    control(TitleEdit)->setFocus(Qt::OtherFocusReason);
}

void RegistrationDialog::keyPressEvent(QKeyEvent* event)
{
    // Enter never closes the form: its default action does nothing.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    RegistrationForm::keyPressEvent(event);
}

} // namespace regdesk
