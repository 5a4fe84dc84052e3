#pragma once

#include "desk/RegistrationSaving.h"

namespace regdesk {

// The registers on the active connection. Files are attached off the GUI
// thread, over a second connection to the same database.
class SqlRegisterStore final : public RegisterStore
{
public:
    bool isRegistered(const GbkString& table, const GbkString& number) override;
    bool insert(const GbkString& table, const DocumentRecord& record, bool outgoing, bool replaceExisting) override;
    GbkString attachFile(const GbkString& table, const GbkString& number, const GbkString& path) override;
};

} // namespace regdesk
