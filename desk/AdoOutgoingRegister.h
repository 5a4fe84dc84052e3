#pragma once

#include "desk/DocumentNumbering.h"

namespace regdesk {

// Numbering's view of 发文登记表 on the active connection.
class AdoOutgoingRegister final : public OutgoingRegisterView
{
public:
    std::vector<GbkString> numbersOfYear(int year) override;
    std::optional<GbkString> titleOf(const GbkString& number) override;
    int countBarcoded(std::optional<int> year) override;
};

} // namespace regdesk
