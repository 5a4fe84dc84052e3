#pragma once

#include "people/CompletionDropDown.h"
#include "people/NameCompletion.h"

#include <QLineEdit>
#include <QPointer>
#include <memory>

namespace regdesk {

class AdoRecordset;

// A single-line edit with a floating drop-down of matching people. Without a
// completion source it is a plain edit; the register list uses it so as its
// cell editor (setCellEditorRole), where Enter and Tab move through the cells.
class CompletionEdit : public QLineEdit
{
    Q_OBJECT

public:
    static constexpr int kDropDownId = 9999;

    explicit CompletionEdit(QWidget* parent = nullptr);
    ~CompletionEdit() override;

    // Creates the (hidden) drop-down floating above `owner`.
    bool createDropDown(QWidget* owner);
    // Keeps the recordset's source text and columns and lists all its rows.
    void setSource(AdoRecordset& source);
    void setDisplayColumn(const GbkString& column);
    void setAbbreviationSearch(bool on);

    void showDropDown();
    void hideDropDown();
    bool isDropDownShown() const;
    CompletionDropDown* dropDown() const { return m_dropDown; }
    // The rows the drop-down shows.
    const CompletionTable& currentResult() const { return *m_current; }
    const NameCompletion& completion() const { return m_completion; }

    // Runs the completion for the current text (also run on every change).
    void runCompletion();

    // A double click anywhere in the owner form: with the edit focused it takes
    // the drop-down's marked row (its first cell) or opens the drop-down; with
    // the focus elsewhere it hides the drop-down.
    void handleFormDoubleClick(bool editHasFocus);

    // As the register list's cell editor: Enter advances, Tab returns to the list.
    void setCellEditorRole(bool on) { m_cellEditor = on; }
    bool isCellEditor() const { return m_cellEditor; }

signals:
    // Cell-editor role only.
    void advanceRequested();
    void tabPressed();
    void editingFocusLost();

protected:
    bool event(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool filterKey(QKeyEvent* event);
    void showRows(CompletionTable table);
    void fillDropDown();
    void takeRow(int row, int column);
    int markedRow() const;

    NameCompletion m_completion;
    // Shared with the drop-down, which shows it.
    std::shared_ptr<const CompletionTable> m_current = std::make_shared<CompletionTable>();
    QPointer<QWidget> m_owner;
    QPointer<CompletionDropDown> m_dropDown;
    int m_extent = 0;
    bool m_cellEditor = false;
};

} // namespace regdesk
