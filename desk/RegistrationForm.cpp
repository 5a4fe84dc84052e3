#include "desk/RegistrationForm.h"

#include "desk/DeskStartup.h"
#include "desk/FieldEdit.h"
#include "desk/FormValidation.h"
#include "desk/ListCtrlRows.h"
#include "desk/RegistrationFormLogic.h"
#include "list/RegisterListCells.h"
#include "people/CompletionEdit.h"
#include "platform/ControlLookup.h"
#include "platform/GbkQt.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMetaObject>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

// Resources of a static library are registered by hand, at global scope.
static void registerDeskResources()
{
    Q_INIT_RESOURCE(regdesk);
}

namespace regdesk {
namespace {

using namespace RegistrationFormLogic;

// An editable combo that reports when its drop-down list closes.
class DeskComboBox : public QComboBox
{
public:
    using QComboBox::QComboBox;
    std::function<void()> popupClosed;

    void hidePopup() override
    {
        QComboBox::hidePopup();
        // A click on an item closes the list before the item becomes current;
        // report the close once the choice has been applied.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (popupClosed)
                    popupClosed();
            },
            Qt::QueuedConnection);
    }
};

QComboBox* makeCombo(QWidget* parent, const QStringList& items)
{
    auto* combo = new DeskComboBox(parent);
    combo->setEditable(true);
    // What the clerk types stays as typed: an inline completion would turn
    // "特" into "特急", and a value that begins an item could not be entered.
    combo->setCompleter(nullptr);
    // Typed text is a value, never a new item of the list.
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    return combo;
}

QDateEdit* makeDatePicker(QWidget* parent)
{
    auto* picker = new QDateEdit(QDate::currentDate(), parent);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    return picker;
}

QString visibleCaption(QString caption)
{
    return caption.remove(QLatin1Char('&'));
}

// A static that shows a value: a screen reader reads its accessible name
// only, so the value goes into the description too.
void showValue(QLabel* label, const QString& text)
{
    label->setText(text);
    label->setAccessibleDescription(text);
}

CalendarDate calendarDate(const QDate& date)
{
    return {date.year(), date.month(), date.day()};
}

} // namespace

RegistrationForm::RegistrationForm(GbkString listWidths, int incomingIcon, int outgoingIcon, QWidget* parent)
    : QDialog(parent), m_listWidths(std::move(listWidths))
{
    registerDeskResources();
    m_incomingIcon = QIcon(QStringLiteral(":/regdesk/icons/%1.png").arg(incomingIcon));
    m_outgoingIcon = QIcon(QStringLiteral(":/regdesk/icons/%1.png").arg(outgoingIcon));
    buildControls();
    qApp->installEventFilter(this);
}

RegistrationForm::~RegistrationForm()
{
    qApp->removeEventFilter(this);
    // Hiding the children while the dialog goes away must announce nothing.
    static_cast<DeskComboBox*>(m_number)->popupClosed = nullptr;
    m_events.blockSignals(true);
}

void RegistrationForm::buildControls()
{
    m_number = makeCombo(this, {});
    describe(m_number, NumberCombo, "numberCombo", QStringLiteral("发文字号"));
    m_title = new FieldEdit(this);
    describe(m_title, TitleEdit, "titleEdit", QStringLiteral("标题"));
    m_kind = new FieldEdit(this);
    describe(m_kind, KindEdit, "kindEdit", QStringLiteral("公文种类"));
    m_recipient = makeCombo(this, {QString()});
    describe(m_recipient, RecipientCombo, "recipientCombo", QStringLiteral("主送单位"));
    m_issuingUnit = new FieldEdit(this);
    describe(m_issuingUnit, IssuingUnitEdit, "issuingUnitEdit", QStringLiteral("发文单位"));
    m_level = new FieldEdit(this);
    describe(m_level, LevelEdit, "levelEdit", QStringLiteral("发布层次"));
    m_urgency = makeCombo(this, {QStringLiteral("无"), QStringLiteral("加急"), QStringLiteral("特急")});
    describe(m_urgency, UrgencyCombo, "urgencyCombo", QStringLiteral("紧急程度"));
    m_secrecy =
        makeCombo(this, {QStringLiteral("无"), QStringLiteral("秘密"), QStringLiteral("机密"), QStringLiteral("绝密")});
    describe(m_secrecy, SecrecyCombo, "secrecyCombo", QStringLiteral("密级"));
    m_codeUnit = new QLineEdit(this);
    describe(m_codeUnit, CodeUnitEdit, "codeUnitEdit", QStringLiteral("制码单位"));
    m_version = new QLabel(QString::fromLatin1(kVersionText), this);
    describe(m_version, VersionLabel, "versionLabel", QStringLiteral("版本"));
    m_codeNumber = new FieldEdit(this);
    describe(m_codeNumber, CodeNumberEdit, "codeNumberEdit", QStringLiteral("条码编号"));
    m_documentDate = makeDatePicker(this);
    describe(m_documentDate, DocumentDatePicker, "documentDatePicker", QStringLiteral("成文时期"));
    m_codeDate = makeDatePicker(this);
    describe(m_codeDate, CodeDatePicker, "codeDatePicker", QStringLiteral("制码日期"));
    m_drafter = new CompletionEdit(this);
    describe(m_drafter, DrafterEdit, "drafterEdit", QStringLiteral("拟稿人"));
    m_lastNumber = new QLabel(this);
    describe(m_lastNumber, LastNumberLabel, "lastNumberLabel", QStringLiteral("上次发文号"));
    m_lastTitle = new QLabel(this);
    describe(m_lastTitle, LastTitleLabel, "lastTitleLabel", QStringLiteral("上次标题"));
    m_editHint = new QLabel(this);
    describe(m_editHint, EditHintLabel, "editHintLabel", QStringLiteral("修改提示"));
    for (QLabel* shown : {m_lastNumber, m_lastTitle}) {
        shown->setFrameShape(QFrame::StyledPanel);
        shown->setFrameShadow(QFrame::Sunken);
        shown->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    m_lastNumber->setMinimumWidth(200);
    m_editHint->setStyleSheet(QStringLiteral("color: #b00000;"));

    makeButton(QStringLiteral("发文信息确认"), ConfirmButton, "confirmButton");
    makeButton(QStringLiteral("生成条码"), BarcodeButton, "barcodeButton");
    makeButton(QStringLiteral("保存(&S)"), SaveButton, "saveButton");
    makeButton(QStringLiteral("发文登记"), ModeButton, "modeButton");
    makeButton(QStringLiteral("打印标题"), PrintTitlesButton, "printTitlesButton");
    makeButton(QStringLiteral("收发文查询"), QueryButton, "queryButton");
    makeButton(QStringLiteral("局部修改"), CellEditButton, "cellEditButton");
    makeButton(QStringLiteral("压缩库"), CompactButton, "compactButton");
    makeButton(QStringLiteral("备份库"), BackupButton, "backupButton");
    makeButton(QStringLiteral("更新人员表"), ImportPeopleButton, "importPeopleButton");

    m_list = new RegisterListCtrl(this);
    describe(m_list, RegisterList, "registerList", QStringLiteral("登记表"));
    m_rows = std::make_unique<ListCtrlRows>(*m_list);
    m_cells = std::make_unique<RegisterListCells>(*m_list);

    for (QWidget* control : findChildren<QWidget*>()) {
        if (const QVariant id = control->property(kControlIdProperty); id.isValid())
            m_controls[id.toInt()] = control;
    }

    // Buttons whose work lives elsewhere only announce the click.
    const std::pair<int, void (RegistrationEvents::*)()> announced[] = {
        {ConfirmButton, &RegistrationEvents::confirmRequested},
        {BarcodeButton, &RegistrationEvents::makeBarcodeRequested},
        {SaveButton, &RegistrationEvents::saveRequested},
        {ModeButton, &RegistrationEvents::modeSwitchRequested},
        {PrintTitlesButton, &RegistrationEvents::printTitlesRequested},
        {QueryButton, &RegistrationEvents::queryRequested},
        {CompactButton, &RegistrationEvents::compactRequested},
        {BackupButton, &RegistrationEvents::backupRequested},
        {ImportPeopleButton, &RegistrationEvents::importPeopleRequested},
    };
    for (const auto& [id, signal] : announced)
        connect(button(id), &QPushButton::clicked, &m_events, signal);
    connect(button(CellEditButton), &QPushButton::clicked, this, [this] { setCellEditing(!m_cellEditing); });

    connect(m_list, &RegisterListCtrl::headerClicked, this,
            [this](int column) { m_list->sortByColumn(column, m_sortOrder.nextAscending()); });
    // While cells are edited a double click belongs to the cell editor, never to attaching a file.
    connect(m_list, &RegisterListCtrl::rowDoubleClicked, this, [this](int row) {
        if (!m_cellEditing)
            emit m_events.rowDoubleClicked(row);
    });
    static_cast<DeskComboBox*>(m_number)->popupClosed = [this] { emit m_events.numberDropDownClosed(); };
}

void RegistrationForm::makeButton(const QString& text, int id, const char* name)
{
    auto* made = new QPushButton(text, this);
    describe(made, id, name, visibleCaption(text));
}

QPushButton* RegistrationForm::button(int id) const
{
    return qobject_cast<QPushButton*>(control(id));
}

QLabel* RegistrationForm::caption(const QString& text, int buddyId)
{
    auto* label = new QLabel(text, this);
    label->setBuddy(control(buddyId));
    return label;
}

QGridLayout* RegistrationForm::fieldsGrid(std::span<const FieldPlace> fields)
{
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(6);
    for (const FieldPlace& field : fields) {
        grid->addWidget(caption(QString::fromUtf8(field.caption), field.id), field.row, field.column, Qt::AlignRight);
        grid->addWidget(control(field.id), field.row, field.column + 1, 1, field.columnSpan);
    }
    for (int column : {1, 3, 5, 7})
        grid->setColumnStretch(column, 1);
    return grid;
}

QWidget* RegistrationForm::control(int id) const
{
    const auto found = m_controls.find(id);
    return found == m_controls.end() ? nullptr : found->second;
}

void RegistrationForm::initialise(FormStart& start)
{
    if (m_list->columnCount() == 0) {
        m_list->setupColumns(RegistrationFormLogic::listHeaderString());
        m_list->setColumnWidths(m_listWidths);
    }
    setCellEditing(false);
    m_list->removeAllRows();

    showMode(RegistrationMode::Incoming, {});

    m_drafter->createDropDown(this);
    m_drafter->setAbbreviationSearch(true);
    setPeople(start.people);

    m_numberPrefixes = start.numberPrefixes;
    m_number->clear();
    for (std::size_t i = 0; i < m_numberPrefixes.size(); ++i)
        m_number->insertItem(static_cast<int>(i), toQString(m_numberPrefixes[i]));
    m_number->setCurrentIndex(-1);
    // The units go ahead of the empty item, which stays the one shown.
    m_recipient->clear();
    for (const GbkString& unit : start.recipientUnits)
        m_recipient->addItem(toQString(unit));
    m_recipient->addItem(QString());
    m_recipient->setCurrentIndex(m_recipient->count() - 1);
}

void RegistrationForm::showMode(RegistrationMode mode, const RegistrationFormLogic::OutgoingDefaults& defaults)
{
    m_mode = mode;
    const bool outgoing = mode == RegistrationMode::Outgoing;
    setWindowIcon(outgoing ? m_outgoingIcon : m_incomingIcon);
    setWindowTitle(toQString(RegistrationFormLogic::modeTitle(mode)));
    QPushButton* modeButton = button(ModeButton);
    modeButton->setText(toQString(RegistrationFormLogic::modeButtonCaption(mode)));
    modeButton->setAccessibleName(modeButton->text());
    setOutgoingFields(outgoing, defaults);
}

void RegistrationForm::setOutgoingFields(bool on, const RegistrationFormLogic::OutgoingDefaults& defaults)
{
    const std::initializer_list<QWidget*> outgoingControls = {button(ConfirmButton),
                                                              m_version,
                                                              m_codeNumber,
                                                              m_issuingUnit,
                                                              m_title,
                                                              m_kind,
                                                              m_level,
                                                              m_codeUnit,
                                                              m_drafter,
                                                              m_number,
                                                              m_recipient,
                                                              m_urgency,
                                                              m_secrecy,
                                                              m_documentDate,
                                                              m_codeDate};
    for (QWidget* control : outgoingControls)
        control->setEnabled(on);
    if (!on)
        showLastNumber({}, {});
    m_codeNumber->clear();
    if (!on)
        return;
    m_version->setText(QString::fromLatin1(kVersionText));
    m_codeUnit->setText(toQString(defaults.codeUnit));
    m_issuingUnit->setText(toQString(defaults.issuingUnit));
    m_title->setText(toQString(defaults.title));
    m_recipient->setCurrentIndex(0);
    m_secrecy->setCurrentIndex(0);
    m_urgency->setCurrentIndex(0);
    m_number->setCurrentIndex(-1);
    m_number->setEditText(QString());
    outgoingFieldsShown();
}

void RegistrationForm::setCellEditing(bool on)
{
    if (!on && m_list->isEditing())
        m_list->commitCellEdit();
    m_cellEditing = on;
    m_list->setEditingDisabled(!on);
    QPushButton* toggle = button(CellEditButton);
    toggle->setText(on ? QStringLiteral("关闭修改") : QStringLiteral("局部修改"));
    toggle->setAccessibleName(toggle->text());
    showValue(m_editHint, on ? QStringLiteral("表内单元格可修改") : QString());
}

FormRecord RegistrationForm::currentRecord() const
{
    FormRecord form;
    DocumentRecord& document = form.document;
    document[DocumentRecord::Number] = fromQString(m_number->currentText());
    document[DocumentRecord::Title] = fromQString(m_title->text());
    document[DocumentRecord::Secrecy] = fromQString(m_secrecy->currentText());
    document[DocumentRecord::Kind] = fromQString(m_kind->text());
    document[DocumentRecord::Recipient] = fromQString(m_recipient->currentText());
    document[DocumentRecord::Level] = fromQString(m_level->text());
    document[DocumentRecord::IssuingUnit] = fromQString(m_issuingUnit->text());
    document[DocumentRecord::Urgency] = fromQString(m_urgency->currentText());
    document[DocumentRecord::DocumentDate] = FormValidation::formatDate(calendarDate(m_documentDate->date()));
    document[DocumentRecord::CodeNumber] = fromQString(m_codeNumber->text());
    document[DocumentRecord::CodeUnit] = fromQString(m_codeUnit->text());
    document[DocumentRecord::CodeDate] = FormValidation::formatDate(calendarDate(m_codeDate->date()));
    document[DocumentRecord::Version] = fromQString(m_version->text());
    document[DocumentRecord::Remarks] = RegistrationFormLogic::remarksOfDrafter(fromQString(m_drafter->text()));
    form.lastNumber = fromQString(m_lastNumber->text());
    form.lastTitle = fromQString(m_lastTitle->text());
    return form;
}

QDate RegistrationForm::documentDate() const
{
    return m_documentDate->date();
}

QDateTime RegistrationForm::documentDateTime() const
{
    return QDateTime(m_documentDate->date(), m_documentTime);
}

std::optional<GbkString> RegistrationForm::chosenNumberPrefix() const
{
    const int index = m_number->currentIndex();
    if (index < 0)
        return std::nullopt;
    return fromQString(m_number->itemText(index));
}

void RegistrationForm::selectNumberPrefix(int index)
{
    m_number->setCurrentIndex(index < m_number->count() ? index : -1);
}

void RegistrationForm::proposeNumber(const GbkString& number)
{
    m_number->setEditText(toQString(number));
}

void RegistrationForm::showLastNumber(const GbkString& number, const GbkString& title)
{
    showValue(m_lastNumber, toQString(number));
    showValue(m_lastTitle, toQString(title));
}

void RegistrationForm::setCodeNumber(const GbkString& codeNumber)
{
    m_codeNumber->setText(toQString(codeNumber));
}

void RegistrationForm::setKind(const GbkString& kind)
{
    m_kind->setText(toQString(kind));
}

void RegistrationForm::setTitle(const GbkString& title)
{
    m_title->setText(toQString(title));
}

void RegistrationForm::setRecipient(const GbkString& recipient)
{
    m_recipient->setEditText(toQString(recipient));
}

void RegistrationForm::setPeople(AdoRecordset& people)
{
    m_drafter->setSource(people);
    m_drafter->setDisplayColumn("姓名"_gbk);
}

void RegistrationForm::focusConfirmation()
{
    button(ConfirmButton)->setFocus(Qt::OtherFocusReason);
}

void RegistrationForm::offerSave()
{
    QPushButton* save = button(SaveButton);
    save->show();
    save->setEnabled(true);
    save->setDefault(true);
    save->setFocus(Qt::OtherFocusReason);
}

RegisterRows& RegistrationForm::rows()
{
    return *m_rows;
}

ListCells& RegistrationForm::listCells()
{
    return *m_cells;
}

void RegistrationForm::reject()
{
    emit m_events.closing();
    QDialog::reject();
}

bool RegistrationForm::belongsToForm(const QObject* object) const
{
    const auto* widget = qobject_cast<const QWidget*>(object);
    while (widget) {
        if (widget == this)
            return true;
        // Message boxes and other dialogs run their own keys.
        if (qobject_cast<const QDialog*>(widget))
            return false;
        widget = widget->parentWidget();
    }
    return false;
}

bool RegistrationForm::filterFormKey(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        if (!event->isAutoRepeat())
            emit m_events.helpRequested();
        return true;
    }
    if (m_cellEditing)
        return false;
    if (event->key() == Qt::Key_Delete) {
        m_list->deleteSelectedRows();
        return false; // the focused control still gets the key
    }
    if (event->key() == Qt::Key_Escape) {
        if (m_drafter->hasFocus() && m_drafter->isDropDownShown())
            m_drafter->hideDropDown();
        return true;
    }
    return false;
}

namespace {

// The local files of a drag from the file manager; empty for anything else
// (dragged text stays the fields' own business).
QStringList droppedFiles(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    return paths;
}

} // namespace

bool RegistrationForm::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        // Files are taken anywhere on a form that accepts drops, over its fields too.
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (acceptDrops() && belongsToForm(watched) && !droppedFiles(drag->mimeData()).isEmpty()) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
            return true;
        }
        break;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = droppedFiles(drop->mimeData());
        if (acceptDrops() && belongsToForm(watched) && !paths.isEmpty()) {
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            // After the drop has ended: the file manager is not kept waiting on the reading.
            QMetaObject::invokeMethod(
                &m_events, [this, paths] { emit m_events.filesDropped(paths); }, Qt::QueuedConnection);
            return true;
        }
        break;
    }
    case QEvent::KeyPress: {
        // Keys are looked at once, where they first arrive: at the focus widget of this form.
        QWidget* focus = QApplication::focusWidget();
        if (watched == focus && focus && focus->window() == this && belongsToForm(focus))
            return filterFormKey(static_cast<QKeyEvent*>(event));
        break;
    }
    case QEvent::MouseButtonDblClick: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        // A double click travels up through the parents: act on it once. While
        // cells are edited it belongs to the list alone.
        if (!m_cellEditing && belongsToForm(watched) && static_cast<qint64>(mouse->timestamp()) != m_lastDoubleClick) {
            m_lastDoubleClick = static_cast<qint64>(mouse->timestamp());
            m_drafter->handleFormDoubleClick(m_drafter->hasFocus());
        }
        break;
    }
    case QEvent::FocusOut: {
        // Opening a drop-down list or calendar is no loss of focus.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::PopupFocusReason || QApplication::activePopupWidget())
            break;
        if (watched == m_title)
            emit m_events.titleFocusLost();
        else if (watched == m_number)
            emit m_events.numberFocusLost();
        break;
    }
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace regdesk
