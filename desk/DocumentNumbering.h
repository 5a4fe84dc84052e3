#pragma once

#include "platform/DeskNotice.h"
#include "platform/Gbk.h"

#include <functional>
#include <optional>
#include <vector>

namespace regdesk {

class SettingsFile;

// A number that a proposal holds for its desk until it is saved or given back.
struct NumberReservation
{
    enum class Kind
    {
        Document, // 发文号
        Code,     // 制码号
    };
    Kind kind = Kind::Document;
    GbkString series; // the prefix, or the code number's head
    int serial = 0;
    GbkString number; // the whole number proposed
    // A code number: the year whose count of barcodes its serial follows
    // (nullopt: all years).
    std::optional<int> countedYear;
};

// What numbering needs to know of the outgoing register.
class OutgoingRegister
{
public:
    virtual ~OutgoingRegister() = default;

    // Runs a proposal (the reads below and the reservations) as one unit, so
    // that no other desk numbers or saves in between; the numbers this desk
    // held from an earlier proposal are given back first. When that unit
    // cannot be had, the proposal is not run (and proposes nothing).
    virtual void asOneProposal(const std::function<void()>& proposal) { proposal(); }
    // Holds `reservation` for this desk; false when another desk holds the
    // number, which is then not to be proposed.
    virtual bool reserve(const NumberReservation&) { return true; }
    // The register counts `barcodes` barcodes of `year` (all years when nullopt).
    virtual void codesCounted(std::optional<int> /*year*/, int /*barcodes*/) {}

    // 发文号 of every row whose number mentions the year, trimmed. A view may
    // leave out numbers that do not begin with `prefix` once trimmed, since
    // they cannot count for it.
    virtual std::vector<GbkString> numbersOfYear(int year, const GbkString& prefix) = 0;
    // The same numbers, each with a bound its serial cannot exceed where the
    // register can tell one, handed to `visit` highest bound first (numbers
    // without a bound before all others) until `visit` returns false. On a
    // large register the last serial is then found from the first few rows.
    // A reading that fails midway starts afresh, so a number may be handed
    // over twice.
    virtual void
    visitNumbersOfYear(int year, const GbkString& prefix,
                       const std::function<bool(const GbkString& number, std::optional<long long> serialBound)>& visit)
    {
        for (const GbkString& number : numbersOfYear(year, prefix)) {
            if (!visit(number, std::nullopt))
                return;
        }
    }
    // 标题 of the row with this 发文号; nullopt when there is none.
    virtual std::optional<GbkString> titleOf(const GbkString& number) = 0;
    // Rows whose barcode was made, of the year (or of all years); 0 when the count fails.
    virtual int countBarcoded(std::optional<int> year) = 0;
};

// The four keys of 发文设置 that lay out the code number.
struct CodeNumberLayout
{
    GbkString identifier;     // 制码号固定标识
    int identifierLength = 0; // 制码号固定位数
    GbkString yearDigits;     // 制码号年度位数: "2", "4" or "0"
    GbkString serialDigits;   // 制码号流水位数: "2" to "7"

    static CodeNumberLayout fromSettings(const SettingsFile& settings);
};

// What choosing a prefix proposes.
struct NumberingProposal
{
    GbkString lastNumber;            // static 1314: prefix + last serial + 号
    GbkString lastTitle;             // static 1297: title registered under it, or empty
    GbkString codeNumber;            // the code-number field
    std::vector<DeskNotice> notices; // layout messages, in the order they arise
};

namespace DocumentNumbering {

// The head of a document number: up to and including its first "〕"; nullopt without one.
std::optional<GbkString> headOf(const GbkString& number);

// Largest serial of `prefix` among `numbers` (0 when none), counting only a
// prefix that is one of the form's prefixes.
int lastSerial(const GbkString& prefix, const std::vector<GbkString>& prefixes, const std::vector<GbkString>& numbers);

// The code number for `year`, given the count of barcodes already made.
GbkString codeNumber(const CodeNumberLayout& layout, int year, int barcodesMade, std::vector<DeskNotice>& notices);

// All of it, when the drop-down of the number combo closes on `prefix`.
NumberingProposal propose(const GbkString& prefix, const std::vector<GbkString>& prefixes, int year,
                          const CodeNumberLayout& layout, OutgoingRegister& register_);

// The next document number after the last one shown; nullopt when none is shown.
std::optional<GbkString> nextNumber(const GbkString& lastNumber);

} // namespace DocumentNumbering
} // namespace regdesk
