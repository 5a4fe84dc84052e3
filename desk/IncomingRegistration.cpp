#include "desk/IncomingRegistration.h"

#include "desk/RegisterRows.h"
#include "desk/RegistrationEvents.h"
#include "desk/RegistrationView.h"

namespace regdesk {

// The form's registration list as a scan sees it.
class IncomingRegistration::ViewList final : public IncomingList
{
public:
    explicit ViewList(RegistrationView& view) : m_view(view) {}

    int rowCount() const override { return m_view.rows().rowCount(); }
    GbkString numberAt(int row) const override { return m_view.rows().record(row)[DocumentRecord::Number]; }
    void appendRecord(const DocumentRecord& record) override { m_view.rows().append(record); }

private:
    RegistrationView& m_view;
};

IncomingRegistration::IncomingRegistration(RegistrationView& view, Prompter& prompter, IncomingRegister& register_)
    : m_view(view), m_list(std::make_unique<ViewList>(view)), m_scanner(m_port, prompter, view.boxOwner()),
      m_intake(m_scanner.receiveText(), m_port, prompter, view.boxOwner(), *m_list, register_,
               // 成文时期 is disabled in incoming mode and keeps the date last set in outgoing mode.
               [&view] { return view.documentDate(); })
{
    connect(&m_scanner, &ScannerPort::scanComplete, this, [this] { m_intake.takeScan(); });
    connect(&view.events(), &RegistrationEvents::modeChanged, this, &IncomingRegistration::followMode);
    connect(&view.events(), &RegistrationEvents::closing, this, [this] { m_port.setPortOpen(false); });
}

IncomingRegistration::~IncomingRegistration()
{
    m_port.setPortOpen(false);
}

void IncomingRegistration::start()
{
    m_scanner.openPort();
}

void IncomingRegistration::followMode(RegistrationMode mode)
{
    // The way back from outgoing registration only opens the port again: the
    // open sequence with its notice belongs to the start.
    m_port.setPortOpen(mode == RegistrationMode::Incoming);
}

} // namespace regdesk
