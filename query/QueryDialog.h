#pragma once

#include "query/QueryController.h"
#include "query/QueryView.h"

#include <QDialog>
#include <QElapsedTimer>
#include <map>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace regdesk {

class RegisterListCtrl;

// The query window (收发文查询): a view over QueryController. Keys, wherever
// the focus is in the window: F8 + Delete removes the attachments of the
// selected rows, F12 + Delete deletes their records; Delete alone removes the
// selected rows from the view and Home exports their attachments, except in a
// text field, where both keep editing the text. F1 opens the guide's chapter
// of this window.
class QueryDialog final : public QDialog, public QueryView
{
    Q_OBJECT

public:
    // The documented ids of the window's controls (property "controlId").
    enum ControlId
    {
        IncomingRadio = 1317,
        OutgoingRadio = 1318,
        FuzzyEdit = 108,
        FuzzyButton = 110,
        FuzzyHint = 1266,
        FieldCombo = 1309,
        ValueEdit = 1264,
        ExactButton = 1047,
        ResultList = 1045,
        Progress = 1285,
        SelectionCount = 1321,
        ExcelButton = 1096,
        AttachHint = 1322,
        ExportHint = 1323,
    };

    explicit QueryDialog(QuerySeams seams, QWidget* parent = nullptr);
    ~QueryDialog() override;

    QueryController& controller() { return m_controller; }
    RegisterListCtrl& registerList() const { return *m_list; }
    QProgressBar& progressBar() const { return *m_progress; }
    QWidget* control(int id) const;

    // QueryView
    QWidget* boxOwner() override { return this; }
    void setCaption(const QString& caption) override;
    GbkString fuzzyText() const override;
    GbkString fieldName() const override;
    void setFieldName(const GbkString& name) override;
    void setFieldNames(const std::vector<GbkString>& names) override;
    GbkString exactValue() const override;
    RegisterListModel& listRows() override;
    std::vector<int> selectedRows() const override;
    void fitColumnsToContents() override;
    void showProgress(qint64 done, qint64 total) override;
    void hideProgress() override;
    void setSelectionCount(const QString& text) override;

signals:
    // "打印excel清单": the Excel list of what the list shows.
    void excelListRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildControls();
    QPushButton* makeButton(const QString& caption, int id, const char* name);
    // True when the key was the window's: it goes no further.
    bool handleWindowKey(QObject* watched, QKeyEvent* event);

    QueryController m_controller;
    QRadioButton* m_incoming = nullptr;
    QRadioButton* m_outgoing = nullptr;
    QLineEdit* m_fuzzy = nullptr;
    QComboBox* m_field = nullptr;
    QLineEdit* m_value = nullptr;
    RegisterListCtrl* m_list = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_selectionCount = nullptr;
    std::map<int, QPushButton*> m_buttons;
    static constexpr qint64 kProgressPaintMs = 200;
    QElapsedTimer m_progressPainted;
    bool m_f8Held = false;
    bool m_f12Held = false;
};

} // namespace regdesk
