#pragma once

#include "desk/DocumentNumbering.h"
#include "desk/RegistrationSaving.h"
#include "scanner/IncomingList.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace regdesk::test {

// The outgoing register as numbering sees it, without a database; numbers
// in heldElsewhere are held by other desks.
class FakeOutgoingRegister final : public OutgoingRegister
{
public:
    std::vector<GbkString> numbers;
    std::map<GbkString, GbkString> titles;
    int barcoded = 0;
    std::set<GbkString> heldElsewhere;
    std::vector<std::optional<int>> countedYears;
    std::vector<int> searchedYears;
    std::vector<GbkString> reserved;
    std::vector<std::pair<std::optional<int>, int>> counted;
    int units = 0;

    void asOneProposal(const std::function<void()>& proposal) override
    {
        ++units;
        proposal();
    }
    bool reserve(const NumberReservation& reservation) override
    {
        if (heldElsewhere.count(reservation.number) != 0)
            return false;
        reserved.push_back(reservation.number);
        return true;
    }
    void codesCounted(std::optional<int> year, int barcodes) override { counted.emplace_back(year, barcodes); }

    std::vector<GbkString> numbersOfYear(int year, const GbkString&) override
    {
        searchedYears.push_back(year);
        return numbers;
    }
    std::optional<GbkString> titleOf(const GbkString& number) override
    {
        const auto found = titles.find(number);
        return found == titles.end() ? std::nullopt : std::optional<GbkString>(found->second);
    }
    int countBarcoded(std::optional<int> year) override
    {
        countedYears.push_back(year);
        return barcoded;
    }
};

// Registers in memory; numbers listed in failInsert refuse to be inserted,
// those in failAttach to take a file. Every call is written down as text
// ("insert-out 发文登记表 A1 replacing").
class FakeRegisterStore final : public RegisterStore, public IncomingRegister
{
public:
    std::map<GbkString, DocumentRecord> rows;
    std::set<GbkString> failInsert;
    std::set<GbkString> failAttach;
    std::vector<std::string> calls;

    bool isRegistered(const GbkString&, const GbkString& number) override { return rows.count(number) != 0; }
    bool isRegistered(const GbkString& number) override { return rows.count(number) != 0; }
    bool insert(const GbkString& table, const DocumentRecord& record, bool outgoing, bool replaceExisting) override
    {
        const GbkString& number = record[DocumentRecord::Number];
        calls.push_back((outgoing ? "insert-out " : "insert-in ") + gbkToUtf8(table) + " " + gbkToUtf8(number) +
                        (replaceExisting ? " replacing" : ""));
        if (failInsert.count(number) != 0)
            return false;
        rows[number] = record;
        return true;
    }
    GbkString attachFile(const GbkString& table, const GbkString& number, const GbkString& path) override
    {
        calls.push_back("attach " + gbkToUtf8(table) + " " + gbkToUtf8(number) + " " + gbkToUtf8(path));
        return failAttach.count(number) != 0 ? "磁盘坏了"_gbk : GbkString();
    }
};

} // namespace regdesk::test
