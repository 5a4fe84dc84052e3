#pragma once

#include "FakeListCells.h"
#include "desk/RegisterRows.h"
#include "desk/RegistrationEvents.h"
#include "desk/RegistrationView.h"

namespace regdesk::test {

// A registration list as a vector of rows, each with a selection flag and
// its colour (blue or not).
class FakeRegisterRows final : public RegisterRows
{
public:
    struct Row
    {
        DocumentRecord record;
        bool selected = false;
        bool blue = false;
    };
    std::vector<Row> rows;
    std::optional<int> mark;
    bool hasFocus = false;

    void add(DocumentRecord record, bool selected = true) { rows.push_back({std::move(record), selected}); }
    std::vector<GbkString> numbers() const;

    std::optional<int> firstSelectedRow() const override;
    DocumentRecord record(int row) const override { return rows.at(static_cast<std::size_t>(row)).record; }
    void deselect(int row) override { rows.at(static_cast<std::size_t>(row)).selected = false; }
    void remove(int row) override { rows.erase(rows.begin() + row); }
    int rowCount() const override { return static_cast<int>(rows.size()); }
    std::vector<int> selectedRows() const override;
    std::optional<int> markedRow() const override { return mark; }
    void append(const DocumentRecord& record) override { rows.push_back({record, false}); }
    void selectOnly(int row) override;
    void markBarcodeMade(int row) override { rows.at(static_cast<std::size_t>(row)).record.barcodeMade = "是"_gbk; }
    void restoreBarcodeMade(int row, const GbkString& text) override
    {
        rows.at(static_cast<std::size_t>(row)).record.barcodeMade = text;
    }
    void setAttachmentPath(int row, const GbkString& path) override;
    void clear() override { rows.clear(); }
};

// A registration form without a window: the fields are one FormRecord, and
// the test raises the clerk's actions on events().
class FakeRegistrationView final : public RegistrationView
{
public:
    FormRecord form;
    QDate date = QDate(2026, 3, 5);
    QTime time = QTime(14, 7);
    std::vector<GbkString> prefixes;
    std::optional<GbkString> chosenPrefix;
    RegistrationMode shownMode = RegistrationMode::Incoming;
    FakeRegisterRows list;
    FakeListCells cells{17};
    bool closed = false;
    bool confirmationFocused = false;
    bool saveOffered = false;
    int peopleGiven = 0;

    GbkString& field(DocumentRecord::Field field) { return form.document[field]; }

    RegistrationEvents& events() override { return m_events; }
    QWidget* boxOwner() override { return nullptr; }
    RegistrationMode mode() const override { return shownMode; }
    void showMode(RegistrationMode mode, const RegistrationFormLogic::OutgoingDefaults& defaults) override;
    FormRecord currentRecord() const override { return form; }
    QDate documentDate() const override { return date; }
    QDateTime documentDateTime() const override { return QDateTime(date, time); }
    const std::vector<GbkString>& numberPrefixes() const override { return prefixes; }
    std::optional<GbkString> chosenNumberPrefix() const override { return chosenPrefix; }
    void selectNumberPrefix(int index) override;
    void proposeNumber(const GbkString& number) override { field(DocumentRecord::Number) = number; }
    void showLastNumber(const GbkString& number, const GbkString& title) override;
    void setCodeNumber(const GbkString& codeNumber) override { field(DocumentRecord::CodeNumber) = codeNumber; }
    void setKind(const GbkString& kind) override { field(DocumentRecord::Kind) = kind; }
    void setTitle(const GbkString& title) override { field(DocumentRecord::Title) = title; }
    void setRecipient(const GbkString& recipient) override { field(DocumentRecord::Recipient) = recipient; }
    void setPeople(AdoRecordset&) override { ++peopleGiven; }
    void focusConfirmation() override { confirmationFocused = true; }
    void offerSave() override { saveOffered = true; }
    RegisterRows& rows() override { return list; }
    ListCells& listCells() override { return cells; }
    void closeForm() override;

private:
    RegistrationEvents m_events;
};

} // namespace regdesk::test
