#pragma once

#include "desk/DocumentNumbering.h"

#include <memory>

namespace regdesk {

class DbConnection;

// Numbering's view of 发文登记表 on the active connection. The scans of the
// register send only what numbering needs (the numbers of a prefix, a count),
// so that a large register stays quick; failures are reported by the
// database layer. Proposals hold their numbers in the register's number
// claims, so that desks sharing the register never propose the same; the
// numbers still held are given back when this view goes.
class SqlOutgoingRegister final : public OutgoingRegister
{
public:
    SqlOutgoingRegister() = default;
    ~SqlOutgoingRegister() override;
    SqlOutgoingRegister(const SqlOutgoingRegister&) = delete;
    SqlOutgoingRegister& operator=(const SqlOutgoingRegister&) = delete;

    std::vector<GbkString> numbersOfYear(int year, const GbkString& prefix) override;
    void visitNumbersOfYear(
        int year, const GbkString& prefix,
        const std::function<bool(const GbkString& number, std::optional<long long> serialBound)>& visit) override;
    std::optional<GbkString> titleOf(const GbkString& number) override;
    int countBarcoded(std::optional<int> year) override;

    void asOneProposal(const std::function<void()>& proposal) override;
    bool reserve(const NumberReservation& reservation) override;
    void codesCounted(std::optional<int> year, int barcodes) override;

private:
    // The connection of the proposal under way.
    std::shared_ptr<DbConnection> m_proposing;
    std::weak_ptr<DbConnection> m_claimedOn;
};

} // namespace regdesk
