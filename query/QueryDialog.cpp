#include "query/QueryDialog.h"

#include "list/ListText.h"
#include "list/RegisterListCtrl.h"
#include "platform/ControlLookup.h"
#include "platform/GbkQt.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

// Resources of a static library are registered by hand, at global scope.
static void registerQueryResources()
{
    Q_INIT_RESOURCE(regdesk);
}

namespace regdesk {

QueryDialog::QueryDialog(QuerySeams seams, QWidget* parent) : QDialog(parent), m_controller(*this, std::move(seams))
{
    registerQueryResources();
    setWindowTitle(QStringLiteral("收发文查询"));
    setWindowIcon(QIcon(QStringLiteral(":/regdesk/icons/291.png")));
    buildControls();
    m_list->setupColumns(QueryController::listHeaders());
    m_list->setColumnWidths(QueryController::listWidths());
    m_list->setEditingDisabled(true);
    m_list->removeAllRows();
    m_controller.initialise();
}

QueryDialog::~QueryDialog()
{
    // The children go after the controller: nothing of theirs may reach it.
    for (QWidget* child : findChildren<QWidget*>())
        child->removeEventFilter(this);
    m_list->disconnect(this);
    if (QItemSelectionModel* selection = m_list->selectionModel())
        selection->disconnect(this);
}

void QueryDialog::buildControls()
{
    m_incoming = new QRadioButton(QStringLiteral("收文查询"), this);
    describe(m_incoming, IncomingRadio, "incomingRadio", QStringLiteral("收文查询"));
    m_incoming->setChecked(true);
    m_outgoing = new QRadioButton(QStringLiteral("发文查询"), this);
    describe(m_outgoing, OutgoingRadio, "outgoingRadio", QStringLiteral("发文查询"));

    m_fuzzy = new QLineEdit(this);
    describe(m_fuzzy, FuzzyEdit, "fuzzyEdit", QStringLiteral("模糊条件"));
    auto* fuzzyHint = new QLabel(QStringLiteral("多个条件之间用空格分开"), this);
    describe(fuzzyHint, FuzzyHint, "fuzzyHint", QStringLiteral("多个条件之间用空格分开"));

    m_field = new QComboBox(this);
    m_field->setEditable(true);
    m_field->setInsertPolicy(QComboBox::NoInsert);
    // A typed name stays as typed: no inline completion from the items.
    m_field->setCompleter(nullptr);
    describe(m_field, FieldCombo, "fieldCombo", QStringLiteral("查询字段"));
    m_field->setMinimumContentsLength(6);
    m_value = new QLineEdit(this);
    describe(m_value, ValueEdit, "valueEdit", QStringLiteral("相似于"));

    m_list = new RegisterListCtrl(this);
    describe(m_list, ResultList, "resultList", QStringLiteral("查询结果"));
    // Fitting a column measures its text row by row: the first hundred rows
    // and those in view are enough, and keep a search of 10,000 hits quick.
    m_list->horizontalHeader()->setResizeContentsPrecision(100);

    m_progress = new QProgressBar(this);
    describe(m_progress, Progress, "progressBar", QStringLiteral("查询进度"));
    m_progress->setTextVisible(false);
    m_progress->hide();

    m_selectionCount = new QLabel(this);
    describe(m_selectionCount, SelectionCount, "selectionCount", QStringLiteral("已选择"));
    m_selectionCount->setMinimumWidth(120);

    auto* registers = new QHBoxLayout;
    registers->addWidget(m_incoming);
    registers->addWidget(m_outgoing);
    registers->addStretch(1);

    // The fields carry no captions of their own (their accessible names say
    // what they are); the buttons and "相似于" beside them are the labels.
    auto* fuzzyRow = new QHBoxLayout;
    fuzzyRow->addWidget(m_fuzzy, 1);
    fuzzyRow->addWidget(makeButton(QStringLiteral("模糊查询"), FuzzyButton, "fuzzyButton"));
    fuzzyRow->addWidget(fuzzyHint);

    auto* exactRow = new QHBoxLayout;
    auto* likeLabel = new QLabel(QStringLiteral("相似于"), this);
    likeLabel->setBuddy(m_value);
    exactRow->addWidget(m_field);
    exactRow->addWidget(likeLabel);
    exactRow->addWidget(m_value, 1);
    exactRow->addWidget(makeButton(QStringLiteral("准确查询"), ExactButton, "exactButton"));

    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(m_progress, 1);
    statusRow->addWidget(m_selectionCount);
    statusRow->addStretch(0);
    statusRow->addWidget(makeButton(QStringLiteral("打印excel清单"), ExcelButton, "excelButton"));

    auto* hints = new QHBoxLayout;
    hints->setSpacing(18);
    for (const QString& hint : {QStringLiteral("单击表头排序"), QStringLiteral("Delete删除视图"),
                                QStringLiteral("F8+Delete删除附件"), QStringLiteral("F12+Delete删除记录")})
        hints->addWidget(new QLabel(hint, this));
    auto* attachHint = new QLabel(QStringLiteral("双击添加（打开）附件"), this);
    setControlId(attachHint, AttachHint);
    auto* exportHint = new QLabel(QStringLiteral("Home打开多个附件"), this);
    setControlId(exportHint, ExportHint);
    hints->addWidget(attachHint);
    hints->addWidget(exportHint);
    hints->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(8);
    layout->addLayout(registers);
    layout->addLayout(fuzzyRow);
    layout->addLayout(exactRow);
    layout->addWidget(m_list, 1);
    layout->addLayout(statusRow);
    layout->addLayout(hints);
    resize(960, 620);

    // On the checked state, not on clicks: a screen reader's toggle action
    // emits no click, and every way of choosing a radio must switch the register.
    connect(m_incoming, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            m_controller.selectRegister(QueryController::Register::Incoming);
    });
    connect(m_outgoing, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            m_controller.selectRegister(QueryController::Register::Outgoing);
    });
    connect(m_buttons[FuzzyButton], &QPushButton::clicked, this, [this] { m_controller.fuzzySearch(); });
    connect(m_buttons[ExactButton], &QPushButton::clicked, this, [this] { m_controller.exactSearch(); });
    connect(m_buttons[ExcelButton], &QPushButton::clicked, this, &QueryDialog::excelListRequested);
    connect(m_list, &RegisterListCtrl::headerClicked, this, [this](int column) { m_controller.sortByHeader(column); });
    connect(m_list, &RegisterListCtrl::rowDoubleClicked, this, [this](int row) { m_controller.openRow(row); });
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { m_controller.updateSelectionCount(); });
    // The window's keys are looked at wherever the focus is in it.
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
}

QPushButton* QueryDialog::makeButton(const QString& caption, int id, const char* name)
{
    auto* button = new QPushButton(caption, this);
    describe(button, id, name, caption);
    // Enter never presses a button of this window.
    button->setAutoDefault(false);
    m_buttons[id] = button;
    return button;
}

QWidget* QueryDialog::control(int id) const
{
    return findControl(this, id);
}

void QueryDialog::setCaption(const QString& caption)
{
    setWindowTitle(caption);
}

GbkString QueryDialog::fuzzyText() const
{
    return fromQString(m_fuzzy->text());
}

GbkString QueryDialog::fieldName() const
{
    return fromQString(m_field->currentText());
}

void QueryDialog::setFieldName(const GbkString& name)
{
    m_field->setEditText(toQString(name));
}

void QueryDialog::setFieldNames(const std::vector<GbkString>& names)
{
    std::vector<GbkString> sorted = names;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const GbkString& a, const GbkString& b) { return compareGbkNoCase(a, b) < 0; });
    m_field->clear();
    for (const GbkString& name : sorted)
        m_field->addItem(toQString(name));
}

GbkString QueryDialog::exactValue() const
{
    return fromQString(m_value->text());
}

RegisterListModel& QueryDialog::listRows()
{
    return m_list->listModel();
}

std::vector<int> QueryDialog::selectedRows() const
{
    return m_list->selectedRowNumbers();
}

void QueryDialog::fitColumnsToContents()
{
    // The list's columns without the sort key, as a fill from the register sizes them.
    for (int column = 0; column < QueryController::kSortKeyColumn; ++column)
        m_list->resizeColumnToContents(column);
}

void QueryDialog::showProgress(qint64 done, qint64 total)
{
    if (total <= 0) {
        m_progress->setRange(0, 0);
    } else {
        // The bar counts in ints; registers of any size fit in per mille.
        m_progress->setRange(0, 1000);
        m_progress->setValue(static_cast<int>(done * 1000 / total));
    }
    // Paint the bar when it appears and a few times a second after that;
    // clicks and keys wait until the work is done.
    if (m_progress->isHidden() || !m_progressPainted.isValid() || m_progressPainted.elapsed() >= kProgressPaintMs) {
        m_progress->show();
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        m_progressPainted.start();
    }
}

void QueryDialog::hideProgress()
{
    m_progress->hide();
}

void QueryDialog::setSelectionCount(const QString& text)
{
    m_selectionCount->setText(text);
    // A screen reader reads a named label by its name: give it the count too.
    m_selectionCount->setAccessibleDescription(text);
}

void QueryDialog::keyPressEvent(QKeyEvent* event)
{
    // Enter searches from the field it is pressed in and never closes the window.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        QWidget* focus = QApplication::focusWidget();
        if (focus == m_fuzzy)
            m_controller.fuzzySearch();
        else if (focus == m_value)
            m_controller.exactSearch();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool QueryDialog::handleWindowKey(QObject* watched, QKeyEvent* event)
{
    // In a text field Home and Delete keep editing its text; held down with
    // F8 or F12, Delete acts on the list from there too.
    const bool inTextField = qobject_cast<QLineEdit*>(watched) != nullptr;
    switch (event->key()) {
    case Qt::Key_F1:
        if (event->type() == QEvent::KeyPress && !event->isAutoRepeat())
            m_controller.showGuide();
        return true;
    case Qt::Key_F8:
    case Qt::Key_F12:
        if (!event->isAutoRepeat())
            (event->key() == Qt::Key_F8 ? m_f8Held : m_f12Held) = event->type() == QEvent::KeyPress;
        return false;
    case Qt::Key_Delete:
        if (event->type() != QEvent::KeyPress)
            return !inTextField;
        if (m_f12Held)
            m_controller.deleteRecords();
        else if (m_f8Held)
            m_controller.removeAttachments();
        else if (!inTextField)
            m_list->deleteSelectedRows();
        else
            return false;
        return true;
    case Qt::Key_Home:
        if (inTextField)
            return false;
        if (event->type() == QEvent::KeyPress)
            m_controller.exportSelected();
        return true;
    default:
        return false;
    }
}

bool QueryDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        auto* widget = qobject_cast<QWidget*>(watched);
        // Keys of this window only: not those of a combo's pop-up list.
        if (widget && widget->window() == this && handleWindowKey(watched, static_cast<QKeyEvent*>(event)))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void QueryDialog::changeEvent(QEvent* event)
{
    // A key let go while another window (a question box) had the keyboard is
    // never seen here: nothing counts as held once the window loses it.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        m_f8Held = m_f12Held = false;
    QDialog::changeEvent(event);
}

} // namespace regdesk
