#include "FakeRegistrationView.h"

namespace regdesk::test {

std::vector<GbkString> FakeRegisterRows::numbers() const
{
    std::vector<GbkString> numbers;
    for (const Row& row : rows)
        numbers.push_back(row.record[DocumentRecord::Number]);
    return numbers;
}

std::optional<int> FakeRegisterRows::firstSelectedRow() const
{
    const std::vector<int> selected = selectedRows();
    return selected.empty() ? std::nullopt : std::optional<int>(selected.front());
}

std::vector<int> FakeRegisterRows::selectedRows() const
{
    std::vector<int> selected;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].selected)
            selected.push_back(static_cast<int>(i));
    }
    return selected;
}

void FakeRegisterRows::selectOnly(int row)
{
    for (Row& each : rows)
        each.selected = false;
    rows.at(static_cast<std::size_t>(row)).selected = true;
    mark = row;
    hasFocus = true;
}

void FakeRegisterRows::setAttachmentPath(int row, const GbkString& path)
{
    Row& changed = rows.at(static_cast<std::size_t>(row));
    changed.record.attachmentPath = path;
    changed.blue = true;
}

void FakeRegistrationView::showMode(RegistrationMode mode, const RegistrationFormLogic::OutgoingDefaults& defaults)
{
    shownMode = mode;
    showLastNumber({}, {});
    field(DocumentRecord::CodeNumber).clear();
    if (mode == RegistrationMode::Outgoing) {
        field(DocumentRecord::CodeUnit) = defaults.codeUnit;
        field(DocumentRecord::IssuingUnit) = defaults.issuingUnit;
        field(DocumentRecord::Title) = defaults.title;
    }
}

void FakeRegistrationView::selectNumberPrefix(int index)
{
    chosenPrefix.reset();
    if (index >= 0 && index < static_cast<int>(prefixes.size()))
        chosenPrefix = prefixes[static_cast<std::size_t>(index)];
    if (chosenPrefix)
        field(DocumentRecord::Number) = *chosenPrefix;
}

void FakeRegistrationView::showLastNumber(const GbkString& number, const GbkString& title)
{
    form.lastNumber = number;
    form.lastTitle = title;
}

void FakeRegistrationView::closeForm()
{
    closed = true;
    emit m_events.closing();
}

} // namespace regdesk::test
