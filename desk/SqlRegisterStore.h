#pragma once

#include "desk/RegistrationSaving.h"

#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace regdesk {

// The registers on the active connection. A save runs as one unit that no
// other desk's numbering or saving runs beside, and never silently replaces
// or doubles another desk's registration: it refuses a 发文号 that another
// desk holds from its proposal, and one registered since this desk looked
// (isRegistered) — with an overwrite only the records the clerk agreed to
// replace may go. Refusals are told to the clerk here; the row stays listed. Files are
// attached off the GUI thread, over a second connection to the same database.
class SqlRegisterStore final : public RegisterStore
{
public:
    bool isRegistered(const GbkString& table, const GbkString& number) override;
    bool insert(const GbkString& table, const DocumentRecord& record, bool outgoing, bool replaceExisting) override;
    GbkString attachFile(const GbkString& table, const GbkString& number, const GbkString& path) override;

private:
    // The records of `number` now, each as its row id and text; nullopt when the query failed.
    static std::optional<std::vector<GbkString>> recordsOf(const GbkString& table, const GbkString& number);

    // What isRegistered saw, for the insert that follows.
    std::map<std::pair<GbkString, GbkString>, std::vector<GbkString>> m_seen;
};

} // namespace regdesk
