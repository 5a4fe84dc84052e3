#pragma once

#include "desk/DocumentNumbering.h"

namespace regdesk {

// Numbering's view of 发文登记表 on the active connection. The two scans of the
// whole register are read row by row without keeping the rows, so that a large
// register stays quick; failures are still reported by the database layer.
class SqlOutgoingRegister final : public OutgoingRegisterView
{
public:
    std::vector<GbkString> numbersOfYear(int year, const GbkString& prefix) override;
    std::optional<GbkString> titleOf(const GbkString& number) override;
    int countBarcoded(std::optional<int> year) override;
};

} // namespace regdesk
