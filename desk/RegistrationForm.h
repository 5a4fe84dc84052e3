#pragma once

#include "desk/RegistrationEvents.h"
#include "desk/RegistrationView.h"
#include "list/RegisterListCtrl.h"
#include "platform/Gbk.h"

#include <QDialog>
#include <QGridLayout>
#include <QIcon>
#include <QTime>
#include <map>
#include <memory>
#include <span>
#include <vector>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;

namespace regdesk {

class CompletionEdit;
class FieldEdit;
class ListCtrlRows;
class RegisterListCells;
struct FormStart;

// What the full registration form and the compact add-in form share: the same
// controls with the same ids, the view the controllers drive, and the keys.
// Each form lays the controls out (by id) and adds its own differences: the
// icons, the list's column widths, where the focus goes on a switch to
// outgoing registration and what Enter does.
//
// The form shows what it is given and announces the clerk's actions on
// events(). It handles on its own only what stays inside it: the keys,
// header sorting, the cell-editing switch and the drafter's completion on a
// double click.
class RegistrationForm : public QDialog, public RegistrationView
{
    Q_OBJECT

public:
    // The documented ids of the form's controls (property "controlId").
    enum ControlId
    {
        NumberCombo = 1242,
        TitleEdit = 1238,
        DrafterEdit = 1257,
        KindEdit = 1243,
        RecipientCombo = 1305,
        IssuingUnitEdit = 1237,
        LevelEdit = 1241,
        UrgencyCombo = 1304,
        SecrecyCombo = 1303,
        CodeUnitEdit = 1245,
        VersionLabel = 1022,
        CodeNumberEdit = 1099,
        DocumentDatePicker = 1252,
        CodeDatePicker = 1253,
        LastNumberLabel = 1314,
        LastTitleLabel = 1297,
        EditHintLabel = 1311,
        RegisterList = 1045,
        ConfirmButton = 1308,
        BarcodeButton = 1256,
        SaveButton = 1025,
        ModeButton = 1023,
        PrintTitlesButton = 1014,
        QueryButton = 110,
        CellEditButton = 1310,
        CompactButton = 1312,
        BackupButton = 1320,
        ImportPeopleButton = 1319,
    };

    static constexpr const char* kVersionText = "GB0626-2005";

    ~RegistrationForm() override;

    // Shows what the form starts with: the list's columns, cell editing off,
    // no rows, incoming mode, the drafter's completion source, the number
    // prefixes and the recipient units. May run again (after the database
    // has been reopened); the items are then replaced.
    void initialise(FormStart& start);

    // The control with a documented id, or null (for tests and accessibility).
    QWidget* control(int id) const;
    RegisterListCtrl& registerList() const { return *m_list; }
    CompletionEdit& drafterEdit() const { return *m_drafter; }

    bool isCellEditingEnabled() const { return m_cellEditing; }
    void setCellEditing(bool on);

    QIcon incomingIcon() const { return m_incomingIcon; }
    QIcon outgoingIcon() const { return m_outgoingIcon; }

    // RegistrationView
    RegistrationEvents& events() override { return m_events; }
    QWidget* boxOwner() override { return this; }
    RegistrationMode mode() const override { return m_mode; }
    void showMode(RegistrationMode mode, const RegistrationFormLogic::OutgoingDefaults& defaults) override;
    FormRecord currentRecord() const override;
    QDate documentDate() const override;
    QDateTime documentDateTime() const override;
    const std::vector<GbkString>& numberPrefixes() const override { return m_numberPrefixes; }
    std::optional<GbkString> chosenNumberPrefix() const override;
    void selectNumberPrefix(int index) override;
    void proposeNumber(const GbkString& number) override;
    void showLastNumber(const GbkString& number, const GbkString& title) override;
    void setCodeNumber(const GbkString& codeNumber) override;
    void setKind(const GbkString& kind) override;
    void setTitle(const GbkString& title) override;
    void setRecipient(const GbkString& recipient) override;
    void setPeople(AdoRecordset& people) override;
    void focusConfirmation() override;
    void offerSave() override;
    RegisterRows& rows() override;
    ListCells& listCells() override;
    void closeForm() override { reject(); }

public slots:
    void reject() override;

protected:
    // `listWidths`: the list's column widths as a width string; the icons by
    // their resource numbers (one for each mode).
    RegistrationForm(GbkString listWidths, int incomingIcon, int outgoingIcon, QWidget* parent);

    // The button with a documented id (for the layouts).
    QPushButton* button(int id) const;
    // A field's caption, with the field as its buddy.
    QLabel* caption(const QString& text, int buddyId);

    // Where a field and its caption sit in the fields' grid: the caption in
    // `column`, the field after it across `columnSpan` columns.
    struct FieldPlace
    {
        const char* caption;
        int id;
        int row;
        int column;
        int columnSpan;
    };
    // The grid of the fields, each captioned, the field columns sharing the width.
    QGridLayout* fieldsGrid(std::span<const FieldPlace> fields);

    // Runs after the outgoing fields have been turned on and filled.
    virtual void outgoingFieldsShown() = 0;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void makeButton(const QString& caption, int id, const char* name);
    void setOutgoingFields(bool on, const RegistrationFormLogic::OutgoingDefaults& defaults);
    bool belongsToForm(const QObject* object) const;
    bool filterFormKey(QKeyEvent* event);

    RegistrationEvents m_events;
    RegistrationMode m_mode = RegistrationMode::Incoming;
    GbkString m_listWidths;

    // Child widgets, owned by the dialog.
    QComboBox* m_number = nullptr;
    FieldEdit* m_title = nullptr;
    CompletionEdit* m_drafter = nullptr;
    FieldEdit* m_kind = nullptr;
    QComboBox* m_recipient = nullptr;
    FieldEdit* m_issuingUnit = nullptr;
    FieldEdit* m_level = nullptr;
    QComboBox* m_urgency = nullptr;
    QComboBox* m_secrecy = nullptr;
    QLineEdit* m_codeUnit = nullptr;
    QLabel* m_version = nullptr;
    FieldEdit* m_codeNumber = nullptr;
    QDateEdit* m_documentDate = nullptr;
    QDateEdit* m_codeDate = nullptr;
    QLabel* m_lastNumber = nullptr;
    QLabel* m_lastTitle = nullptr;
    QLabel* m_editHint = nullptr;
    RegisterListCtrl* m_list = nullptr;
    std::unique_ptr<ListCtrlRows> m_rows;
    std::unique_ptr<RegisterListCells> m_cells;
    std::map<int, QWidget*> m_controls;

    // A Windows date picker starts with the time of day too, and keeps it.
    QTime m_documentTime = QTime::currentTime();
    std::vector<GbkString> m_numberPrefixes;
    QIcon m_incomingIcon;
    QIcon m_outgoingIcon;
    AlternatingSortOrder m_sortOrder;
    bool m_cellEditing = false;
    qint64 m_lastDoubleClick = -1;
};

} // namespace regdesk
