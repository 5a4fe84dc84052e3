#include "people/CompletionEdit.h"

#include "db/AdoRecordset.h"
#include "people/CompletionPopupPlacement.h"
#include "platform/GbkQt.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScreen>
#include <QScrollBar>

namespace regdesk {
namespace {

bool isEnter(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

ScreenRect screenRect(const QRect& rect)
{
    return ScreenRect{rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

} // namespace

CompletionEdit::CompletionEdit(QWidget* parent) : QLineEdit(parent)
{
    // The desk's fields are drawn in 宋体, 12 pixels high.
    QFont songFont(QStringLiteral("宋体"));
    songFont.setPixelSize(12);
    setFont(songFont);
    connect(this, &QLineEdit::textChanged, this, &CompletionEdit::runCompletion);
}

CompletionEdit::~CompletionEdit()
{
    delete m_dropDown.data();
}

bool CompletionEdit::createDropDown(QWidget* owner)
{
    if (!owner)
        return false;
    delete m_dropDown.data();
    m_owner = owner;
    // Floats above the owner as a window of its own and never takes the focus,
    // so the clerk keeps typing while choosing with the arrows or the mouse.
    auto* dropDown = new CompletionDropDown(owner);
    dropDown->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    dropDown->setAttribute(Qt::WA_ShowWithoutActivating);
    dropDown->setFocusPolicy(Qt::NoFocus);
    dropDown->setObjectName(QStringLiteral("completionDropDown"));
    dropDown->setProperty("controlId", kDropDownId);
    dropDown->setAccessibleName(QStringLiteral("候选名单"));
    dropDown->setSelectionBehavior(QAbstractItemView::SelectRows);
    dropDown->setSelectionMode(QAbstractItemView::SingleSelection);
    dropDown->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dropDown->setShowGrid(true);
    dropDown->verticalHeader()->hide();
    dropDown->verticalHeader()->setDefaultSectionSize(dropDown->fontMetrics().height() + 4);
    dropDown->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    dropDown->horizontalHeader()->setSectionsMovable(true);
    dropDown->horizontalHeader()->setHighlightSections(false);
    QPalette palette = dropDown->palette();
    palette.setColor(QPalette::Base, QColor(255, 255, 230));
    palette.setColor(QPalette::Window, QColor(255, 255, 230));
    dropDown->setPalette(palette);
    dropDown->hide();
    m_dropDown = dropDown;
    fillDropDown();
    return true;
}

void CompletionEdit::setSource(AdoRecordset& source)
{
    showRows(m_completion.setSource(source));
}

void CompletionEdit::setDisplayColumn(const GbkString& column)
{
    m_completion.setDisplayColumn(column);
}

void CompletionEdit::setAbbreviationSearch(bool on)
{
    m_completion.setAbbreviationSearch(on);
}

bool CompletionEdit::isDropDownShown() const
{
    return m_dropDown && m_dropDown->isVisible();
}

void CompletionEdit::showDropDown()
{
    if (!m_dropDown || !m_owner)
        return;
    const QRect edit(mapToGlobal(QPoint(0, 0)), size());
    const QWidget* ownerWindow = m_owner->window();
    const QPoint client = m_owner->mapToGlobal(QPoint(0, 0));
    const QRect frame = ownerWindow == m_owner ? m_owner->frameGeometry() : QRect(client, m_owner->size());
    const QScreen* screen = m_owner->screen();
    const int screenWidth = screen ? screen->geometry().width() : 1024;
    const ScreenRect place =
        placeCompletionPopup(screenRect(edit), screenRect(frame), client.x(), client.y(), m_extent, screenWidth);
    m_dropDown->setGeometry(place.left, place.top, std::max(place.right - place.left, 1), place.bottom - place.top);
    m_dropDown->show();
}

void CompletionEdit::hideDropDown()
{
    if (m_dropDown)
        m_dropDown->hide();
}

void CompletionEdit::runCompletion()
{
    if (m_completion.displayColumn().empty())
        return;
    std::optional<CompletionTable> found = m_completion.complete(fromQString(text()));
    if (!found)
        return; // nobody matches: the drop-down keeps its previous rows
    if (!isDropDownShown())
        showDropDown();
    showRows(std::move(*found));
}

void CompletionEdit::showRows(CompletionTable table)
{
    m_current = std::make_shared<const CompletionTable>(std::move(table));
    fillDropDown();
}

void CompletionEdit::fillDropDown()
{
    if (!m_dropDown)
        return;
    // The view reads the cells it draws and measures; nothing is copied per row.
    m_dropDown->showRows(m_current);
    m_dropDown->setCurrentIndex(QModelIndex());
    m_dropDown->fitColumnsToRows();
    m_extent = 0;
    for (int j = 0; j < m_dropDown->columnCount(); ++j) {
        m_dropDown->setColumnWidth(j, m_dropDown->columnWidth(j) + 20);
        m_extent += m_dropDown->columnWidth(j);
    }
    // Room for the frame and, with more rows than fit, the scroll bar.
    m_extent += 2 * m_dropDown->frameWidth();
    const int rowsHeight = m_dropDown->horizontalHeader()->sizeHint().height() +
                           m_dropDown->rowCount() * m_dropDown->verticalHeader()->defaultSectionSize();
    if (rowsHeight + 2 * m_dropDown->frameWidth() > 120)
        m_extent += m_dropDown->verticalScrollBar()->sizeHint().width();
    if (isDropDownShown())
        m_dropDown->resize(std::max(m_extent, 1), m_dropDown->height());
}

int CompletionEdit::markedRow() const
{
    return m_dropDown ? m_dropDown->currentRow() : -1;
}

void CompletionEdit::takeRow(int row, int column)
{
    const CompletionTable& shown = *m_current;
    if (row >= 0 && static_cast<std::size_t>(row) < shown.rows.size() && column >= 0 &&
        static_cast<std::size_t>(column) < shown.rows[static_cast<std::size_t>(row)].size())
        setText(toQString(shown.rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)]));
    hideDropDown();
}

void CompletionEdit::handleFormDoubleClick(bool editHasFocus)
{
    if (!editHasFocus) {
        hideDropDown();
        return;
    }
    const int row = markedRow();
    if (row >= 0) {
        takeRow(row, 0);
    } else if (!isDropDownShown()) {
        showDropDown();
        runCompletion();
    }
}

bool CompletionEdit::event(QEvent* event)
{
    // Tab never reaches keyPressEvent, so keys are looked at here.
    if (event->type() == QEvent::KeyPress && filterKey(static_cast<QKeyEvent*>(event)))
        return true;
    return QLineEdit::event(event);
}

bool CompletionEdit::filterKey(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Escape && isDropDownShown()) {
        hideDropDown();
        return true;
    }
    if (key == Qt::Key_Down && !isDropDownShown() && !m_current->rows.empty()) {
        showDropDown();
        runCompletion();
    }
    if (isDropDownShown()) {
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            QKeyEvent copy(event->type(), key, event->modifiers());
            QApplication::sendEvent(m_dropDown, &copy);
            return true;
        }
        if (isEnter(key)) {
            const int row = markedRow();
            takeRow(row < 0 ? 0 : row, m_completion.displayColumnIndex());
            return true;
        }
        return false;
    }
    if (!m_cellEditor) {
        if (isEnter(key)) {
            focusNextChild();
            return true;
        }
        return false;
    }
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
        emit tabPressed();
        return true;
    }
    if (isEnter(key)) {
        if (text().isEmpty())
            return false;
        // Every Enter on a filled cell moves on; the editor stays open on the next cell.
        emit advanceRequested();
        return true;
    }
    return false;
}

void CompletionEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (m_cellEditor)
        emit editingFocusLost();
}

} // namespace regdesk
