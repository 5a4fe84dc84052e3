#pragma once

#include "printing/ExcelListPrinter.h"

#include <atomic>
#include <memory>

class QProgressBar;

namespace regdesk {

// A window's progress bar as the printing shows it. Positions set from
// another thread reach the bar through its event queue, one update in
// flight at a time (the latest position wins); while LibreOffice works on
// the window's own thread the window keeps painting, but takes no clicks or
// keys.
class QtPrintProgress final : public PrintProgress
{
public:
    explicit QtPrintProgress(QProgressBar& bar) : m_bar(bar), m_pending(std::make_shared<Pending>()) {}

    void start(int maximum) override;
    void setPosition(int position) override;
    void hide() override;
    void waiting() override;

private:
    struct Pending
    {
        std::atomic<int> position{0};
        std::atomic<bool> posted{false};
    };

    QProgressBar& m_bar;
    std::shared_ptr<Pending> m_pending; // shared with updates still queued
};

} // namespace regdesk
