#pragma once

#include "desk/RegistrationFields.h"
#include "platform/Gbk.h"
#include "query/RegisterListCtrl.h"

#include <QBasicTimer>
#include <QDialog>
#include <QIcon>
#include <functional>
#include <map>
#include <vector>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;

namespace regdesk {

class AdoDatabase;
class CompletionEdit;
class FieldEdit;
class Prompter;

// The full registration form. It opens the process's database connection
// when it first shows; without a database it tells the clerk and closes.
// Two modes share one set of fields: 收文登记 (fields filled by the scanner,
// the serial port open) and 发文登记 (fields typed by the clerk). The mode is
// the window title.
class RegistrationDialog : public QDialog
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

    // The form's window timers; each is handled by the work named.
    enum TimerId
    {
        EncoderTimer = 1,      // wait for the encoder program, pick up the picture
        BackupTimer = 2,       // wait for old backups to go, write the new one
        PortNoticeTimer = 3,   // close the "硬件提示" notice
        PortRecoveryTimer = 4, // close the port recovery notice
        AddinTextTimer = 9,    // compact form: take the add-in's document text
    };

    // The serial scanner port as the form drives it: opened at start-up and on
    // the switch to incoming mode, closed on the switch to outgoing and when
    // the form closes. `open` returns whether the port is now open.
    struct ScannerPortHooks
    {
        std::function<bool()> open;
        std::function<void()> close;
    };

    static constexpr const char* kVersionText = "GB0626-2005";

    RegistrationDialog(AdoDatabase& database, Prompter& prompter, QWidget* parent = nullptr);
    ~RegistrationDialog() override;

    // Runs the form's initialisation; false when the form must close again.
    bool initialise();

    // The control with a documented id, or null.
    QWidget* control(int id) const;
    RegisterListCtrl& registerList() const { return *m_list; }
    CompletionEdit& drafterEdit() const { return *m_drafter; }
    QComboBox& numberCombo() const { return *m_number; }
    QPushButton& button(ControlId id) const;
    AdoDatabase& database() const { return m_database; }
    Prompter& prompter() const { return m_prompter; }

    // Prefixes of the document-number box, index-aligned with its items.
    const std::vector<GbkString>& numberPrefixes() const { return m_numberPrefixes; }

    RegistrationFields fields() const;
    void setFields(const RegistrationFields& fields);

    bool isOutgoingMode() const;
    // The mode button: asks first when rows are pending.
    void switchMode();
    // Enables or disables the outgoing fields; "on" fills the defaults.
    void setOutgoingFields(bool on);

    bool isCellEditingEnabled() const { return m_cellEditing; }
    void setCellEditing(bool on);

    void setScannerPortHooks(ScannerPortHooks hooks) { m_scannerPort = std::move(hooks); }
    bool isScannerPortOpen() const { return m_scannerPortOpen; }

    // Window timers by their fixed ids: starting a running timer restarts it.
    void startDeskTimer(int id, int intervalMs);
    void stopDeskTimer(int id);
    bool isDeskTimerActive(int id) const;
    // The work a timer does on each tick; it stops its timer when done.
    void setTimerHandler(int id, std::function<void()> handler);
    // The single timer handler: dispatches a tick by timer id.
    void onTimer(int id);

    QIcon incomingIcon() const { return m_incomingIcon; }
    QIcon outgoingIcon() const { return m_outgoingIcon; }

signals:
    // Buttons whose work is done elsewhere.
    void confirmRequested();      // 1308 发文信息确认
    void makeBarcodeRequested();  // 1256 生成条码
    void saveRequested();         // 1025 保存
    void printTitlesRequested();  // 1014 打印标题
    void queryRequested();        // 110 收发文查询
    void compactRequested();      // 1312 压缩库
    void backupRequested();       // 1320 备份库
    void importPeopleRequested(); // 1319 更新人员表
    // Field notifications for the checks and the numbering.
    void titleFocusLost();
    void numberDropDownClosed();
    void numberFocusLost();
    // A double click on a list row (attaching a file to it).
    void listRowDoubleClicked(int row);
    void modeChanged(bool outgoing);

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    QPushButton* makeButton(const QString& caption, int id, const char* name);
    void applyMode(bool outgoing);
    void openScannerPort();
    void closeScannerPort();
    bool belongsToForm(const QObject* object) const;
    bool filterFormKey(QKeyEvent* event);

    AdoDatabase& m_database;
    Prompter& m_prompter;
    bool m_initialised = false;

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
    std::map<int, QPushButton*> m_buttons;

    std::vector<GbkString> m_numberPrefixes;
    QIcon m_incomingIcon;
    QIcon m_outgoingIcon;
    AlternatingSortOrder m_sortOrder;
    bool m_cellEditing = false;
    ScannerPortHooks m_scannerPort;
    bool m_scannerPortOpen = false;
    std::map<int, QBasicTimer> m_deskTimers;
    std::map<int, std::function<void()>> m_timerHandlers;
    qint64 m_lastDoubleClick = -1;
};

} // namespace regdesk
