#pragma once

#include "query/ExcelListPrinter.h"

class QProgressBar;

namespace regdesk {

// A window's progress bar as the printing shows it; while LibreOffice works
// the window keeps painting, but takes no clicks or keys.
class QtPrintProgress final : public PrintProgress
{
public:
    explicit QtPrintProgress(QProgressBar& bar) : m_bar(bar) {}

    void start(int maximum) override;
    void setPosition(int position) override;
    void hide() override;
    void waiting() override;

private:
    QProgressBar& m_bar;
};

} // namespace regdesk
